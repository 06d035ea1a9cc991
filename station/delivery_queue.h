// The station's delivery queue: the frames its clock made ready that no poll
// has taken yet, oldest first and bounded (a full queue drops its oldest),
// and the frame the last poll handed out, whose array belongs to the station
// until the next poll. Frame arrays are recycled, so a steady run allocates
// nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace varnix::station {

struct QueuedFrame {
    uint64_t sequence = 0;  // produced-frame number since the start
    int64_t dueNs = 0;      // when the station's clock made it
    int64_t readyNs = 0;    // when a poll may take it (later with jitter or when held)
    std::vector<float> values;
};

// No lock of its own: the station calls it with its own lock held.
class DeliveryQueue {
public:
    // Frames kept at most; the next push beyond it drops the oldest.
    void SetCapacity(size_t capacity) { capacity_ = capacity; }
    // An array of `count` values, recycled when one is spare. May allocate.
    std::vector<float> Array(size_t count);
    // Gives an array back for reuse (kept only while few are spare).
    void Recycle(std::vector<float>&& values);
    // Appends a frame; true when the oldest was dropped to make room.
    bool Push(QueuedFrame&& frame);
    // Takes the oldest frame when it is pollable by `nowNs`; false when none
    // waits or the oldest is not pollable yet.
    bool Pop(int64_t nowNs, QueuedFrame& frame);
    size_t Size() const { return queue_.size(); }
    // Drops every waiting frame (the frame handed out stays).
    void Clear();
    // Keeps `values` as the frame handed out, recycling the previous one's
    // array: the caller's poll hands out the returned array.
    std::vector<float>& HandOut(std::vector<float>&& values);

private:
    size_t capacity_ = 64;
    std::deque<QueuedFrame> queue_;
    std::vector<std::vector<float>> spare_;
    std::vector<float> handedOut_;
};

}  // namespace varnix::station
