// A scripted source of station answers that records every question asked.
#pragma once

#include "catalogue/catalogue_build.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

class FakeStationAnswers final : public varnix::StationAnswerSource {
public:
    // Unscripted questions are answered with the empty text, like the station.
    void Answer(const std::string& id, int code, const std::string& text) {
        answers_[{id, code}] = {true, text};
    }
    void AnswerNull(const std::string& id, int code) { answers_[{id, code}] = {false, ""}; }

    const char* InfoRequest(const char* id, int code) override {
        asked.push_back(std::string(id) + "," + std::to_string(code));
        const auto found = answers_.find({id, code});
        if (found == answers_.end()) {
            lastAnswer_.clear();
            return lastAnswer_.c_str();
        }
        if (!found->second.first) {
            return nullptr;
        }
        // Hand out a buffer that the next question overwrites, as the station
        // does, so that a build that keeps the pointer instead of copying fails.
        lastAnswer_ = found->second.second;
        return lastAnswer_.c_str();
    }

    std::vector<std::string> asked;  // "id,code" in the order asked

private:
    std::map<std::pair<std::string, int>, std::pair<bool, std::string>> answers_;
    std::string lastAnswer_;
};
