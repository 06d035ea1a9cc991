// Script mode's answers to the session calls: what each next poll returns
// (a frame a test wrote, or false) and what configure returns.
#pragma once

#include <cstddef>
#include <deque>
#include <vector>

namespace varnix::station {

struct ScriptedPoll {
    bool frame = false;
    std::vector<float> values;
};

// No lock of its own: the station calls it with its own lock held.
class ScriptedPolls {
public:
    void AddFrame(const float* values, size_t count);
    void AddFalse(size_t count) { polls_.insert(polls_.end(), count, ScriptedPoll{}); }
    // The next poll's answer; false when none is scripted (the poll fails).
    bool Take(ScriptedPoll& poll);
    void Clear() { polls_.clear(); }

    void SetConfigureResult(int result) { configureResult_ = result; }
    int ConfigureResult() const { return configureResult_; }

private:
    std::deque<ScriptedPoll> polls_;
    int configureResult_ = 1;
};

}  // namespace varnix::station
