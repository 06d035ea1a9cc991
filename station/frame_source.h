// Where the values of the station's frames come from: the synthesizer of a
// profile's signals, or a recording played back. The station asks for one
// frame each time its clock makes one ready.
#pragma once

#include <cstddef>

namespace varnix::station {

// [any] Not thread-safe: the station calls it under its own lock.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    // Back to the first frame, as at a session start. May allocate.
    virtual void Restart() = 0;
    // No frame is asked for until the next Restart (the session stopped): a
    // source that works ahead on a thread of its own ends that thread.
    virtual void Pause() {}
    // Values in one frame: the sum of S x streams over the sensors.
    virtual size_t FrameValueCount() const = 0;
    // Writes the next frame's FrameValueCount() values to `out`. False when
    // there is none (a recording has ended): nothing is written then.
    virtual bool Produce(float* out) = 0;
};

}  // namespace varnix::station
