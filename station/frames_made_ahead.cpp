#include "frames_made_ahead.h"

#include <pthread.h>

#include <algorithm>
#include <system_error>

namespace varnix::station {

FramesMadeAhead::FramesMadeAhead(std::unique_ptr<FrameSource> source,
                                 std::chrono::nanoseconds pause)
    : values_(source->FrameValueCount()), pause_(pause), source_(std::move(source)) {
    for (Made& made : ready_) made.values.resize(values_);
}

FramesMadeAhead::~FramesMadeAhead() {
    Pause();
}

void FramesMadeAhead::Restart() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        frameMade_.wait(lock, [this] { return !making_; });
        source_->Restart();
        first_ = 0;
        count_ = 0;
        ended_ = false;
        makeAt_ = std::chrono::steady_clock::now();
    }
    if (thread_.joinable()) {
        wake_.notify_one();
        return;
    }
    try {
        thread_ = std::thread([this] {
            pthread_setname_np(pthread_self(), "station-frames");
            Run();
        });
    } catch (const std::system_error&) {
        // No thread to spare: every frame is made when it is asked for.
    }
}

void FramesMadeAhead::Pause() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
}

bool FramesMadeAhead::Produce(float* out) {
    bool produced = false;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        frameMade_.wait(lock, [this] { return count_ > 0 || !making_; });
        if (count_ > 0) {
            const Made& made = ready_[first_];
            std::copy(made.values.begin(), made.values.end(), out);
            produced = made.produced;
            first_ = (first_ + 1) % kReady;
            --count_;
        } else if (!ended_) {
            produced = source_->Produce(out);
            ended_ = !produced;
        }
        // The thread learns of it at its next look: it is not woken from
        // here (see Run).
        makeAt_ = std::chrono::steady_clock::now() + pause_;
    }
    return produced;
}

// The thread keeps its own time: a poll never wakes it. Woken from the poll,
// it took a core beside the acquisition thread just when that thread was
// about to sleep for a retry: beside 3 busy processes, on a profile whose
// frames come unevenly, one frame in ten then waited 6 to 13 ms instead of
// one in a thousand. While both frames are ready it looks a whole frame after
// the moment the last take let it make one, which is half a frame after the
// next take: never on a frame's hand-out. Looking every half frame instead
// put one look in two on the moment the next frame was due, and there the
// hand-out of a frame now and then took 3 ms longer.
void FramesMadeAhead::Run() {
    const std::chrono::nanoseconds frame =
        std::max<std::chrono::nanoseconds>(2 * pause_, std::chrono::milliseconds(1));
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        if (count_ == kReady || ended_) {
            const auto now = std::chrono::steady_clock::now();
            auto look = makeAt_ + frame;
            if (look <= now) look += frame * ((now - look) / frame + 1);
            wake_.wait_until(lock, look);
        } else if (count_ > 0 && std::chrono::steady_clock::now() < makeAt_) {
            wake_.wait_until(lock, makeAt_);
        } else {
            // Made outside the lock: a caller takes the frames already
            // ready meanwhile, and waits only for this one.
            Made& made = ready_[(first_ + count_) % kReady];
            making_ = true;
            lock.unlock();
            made.produced = source_->Produce(made.values.data());
            lock.lock();
            making_ = false;
            ++count_;
            ended_ = !made.produced;
            frameMade_.notify_all();
        }
    }
}

}  // namespace varnix::station
