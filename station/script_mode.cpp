// Script mode: a test writes the tables and the poll results directly.
#include "station.h"

namespace varnix::station {

void Station::EnterScriptModeLocked() {
    EnsureLoadedLocked();
    if (scriptMode_) {
        return;
    }
    scriptMode_ = true;
    tables_ = StationTables{};
    tables_.itemList = std::string();
    session_ = Session{};
    ClearQueueLocked();
    TablesChangedLocked();
}

void Station::ScriptItemList(const char* itemList) {
    std::lock_guard<std::mutex> lock(mutex_);
    EnterScriptModeLocked();
    tables_.itemList = itemList ? std::optional<std::string>(itemList) : std::nullopt;
    TablesChangedLocked();
}

void Station::ScriptFrameMultiple(int32_t frameMultiple) {
    std::lock_guard<std::mutex> lock(mutex_);
    EnterScriptModeLocked();
    tables_.frameMultiple = frameMultiple;
    TablesChangedLocked();
}

void Station::ScriptRates(const double* rates, size_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    EnterScriptModeLocked();
    tables_.rates.assign(rates, rates == nullptr ? rates : rates + count);
    TablesChangedLocked();
}

void Station::ScriptAnswer(const char* id, int32_t code, const char* answer) {
    if (id == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    EnterScriptModeLocked();
    tables_.answers[{id, code}] = answer ? std::optional<std::string>(answer) : std::nullopt;
    TablesChangedLocked();
}

void Station::ScriptFrame(const float* values, size_t count) {
    ScriptedPoll poll;
    poll.frame = true;
    if (values != nullptr) {
        poll.values.assign(values, values + count);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    EnterScriptModeLocked();
    scriptedPolls_.push_back(std::move(poll));
}

void Station::ScriptPollFalse(size_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    EnterScriptModeLocked();
    scriptedPolls_.insert(scriptedPolls_.end(), count, ScriptedPoll{});
}

void Station::ScriptConfigureResult(int result) {
    std::lock_guard<std::mutex> lock(mutex_);
    EnterScriptModeLocked();
    configureResult_ = result;
}

}  // namespace varnix::station
