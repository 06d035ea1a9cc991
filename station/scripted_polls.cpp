#include "scripted_polls.h"

#include <utility>

namespace varnix::station {

void ScriptedPolls::AddFrame(const float* values, size_t count) {
    ScriptedPoll poll;
    poll.frame = true;
    if (values != nullptr) poll.values.assign(values, values + count);
    polls_.push_back(std::move(poll));
}

bool ScriptedPolls::Take(ScriptedPoll& poll) {
    if (polls_.empty()) return false;
    poll = std::move(polls_.front());
    polls_.pop_front();
    return true;
}

}  // namespace varnix::station
