// A frame source that makes another source's next frames on a thread of its
// own, ahead of the clock that asks for them. A real station holds a frame's
// values when the frame becomes due; the simulation made them inside the
// poll that found the frame, about a millisecond at 128 sensors, which the
// plug-in then measured as its own delay. Now that poll copies values that
// were made a frame or two before.
//
// The values are the wrapped source's, in its order, bit for bit: only the
// moment they are made moves. Two frames are kept ready, so a thread that a
// busy machine wakes late still makes the next-but-one in time, and a poll
// never waits for the frame after the one it takes. A frame asked for when
// none is ready (a backlog after a stall) is made at once by the caller, or
// waited for when the thread is making it.
//
// Threads: the station's callers ([any], under the station's lock) call every
// member; the thread ("station-frames") runs from Restart to Pause and is
// joined there, so a stopped or closed station leaves no thread behind.
#pragma once

#include "frame_source.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace varnix::station {

class FramesMadeAhead final : public FrameSource {
public:
    // `source` makes the values. With one frame ready, the thread makes the
    // next `pause` (half a frame) after the clock took a frame, so that it
    // does not compete for the cores with the hand-out of the frame just
    // taken; while two are ready it looks once a frame (twice `pause`, 1 ms
    // at least), half a frame after the takes.
    FramesMadeAhead(std::unique_ptr<FrameSource> source, std::chrono::nanoseconds pause);
    // Stops and joins the thread.
    ~FramesMadeAhead() override;
    FramesMadeAhead(const FramesMadeAhead&) = delete;
    FramesMadeAhead& operator=(const FramesMadeAhead&) = delete;

    // Drops the frames made ahead, restarts the source and (re)starts the
    // thread, which makes two frames at once. Allocates; may wait for a frame
    // the thread is making. Where no thread can start, every frame is made
    // when it is asked for.
    void Restart() override;
    // Stops and joins the thread; the frames it made stay for Produce.
    // Idempotent; harmless before Restart.
    void Pause() override;
    size_t FrameValueCount() const override { return values_; }
    // The oldest frame made ahead, else one made now. Waits only when no
    // frame is ready and the thread is making the next; does not allocate.
    bool Produce(float* out) override;

private:
    struct Made {
        std::vector<float> values;
        bool produced = false;  // what the source answered for it
    };
    static constexpr size_t kReady = 2;

    void Run();

    const size_t values_;
    const std::chrono::nanoseconds pause_;
    // The source: used under mutex_, or by the thread alone while making_.
    std::unique_ptr<FrameSource> source_;
    std::mutex mutex_;
    std::condition_variable wake_;       // the thread waits on it: Restart and Pause ring
    std::condition_variable frameMade_;  // callers wait on it for making_ to end
    // Ready frames: ready_[first_], then the next. Guarded by mutex_, but
    // the slot after them is the thread's alone while making_.
    std::array<Made, kReady> ready_;
    size_t first_ = 0;       // guarded by mutex_
    size_t count_ = 0;       // guarded by mutex_
    bool making_ = false;    // guarded by mutex_
    bool ended_ = false;     // guarded by mutex_: the source has no frame left
    bool stopping_ = false;  // guarded by mutex_
    std::chrono::steady_clock::time_point makeAt_;  // guarded by mutex_
    std::thread thread_;                            // the station's callers start and join it
};

}  // namespace varnix::station
