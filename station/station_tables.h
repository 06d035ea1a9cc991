// Everything the station answers at the catalogue build: the item list, the
// rate array, the frame multiple and the answer per (id, request code). In
// simulation mode they come from the profile; in script mode the test writes
// them directly.
#pragma once

#include "profile.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace varnix::station {

using AnswerKey = std::pair<std::string, int32_t>;  // (id, request code)

struct StationTables {
    std::optional<std::string> itemList;  // nullopt: answers null
    std::vector<double> rates;            // entry i: rate of item i
    int32_t frameMultiple = 1;
    std::map<AnswerKey, std::optional<std::string>> answers;  // nullopt: answers null
};

// Request codes the station answers.
constexpr int32_t kRequestName = 0;    // component name on an item, channel name on a group
constexpr int32_t kRequestUnit = 2;    // unit text
constexpr int32_t kRequestSensor = 3;  // sensor name

// Item ids are "s<sensor>.c<channel>+<component>", numbered from 1 with the
// sensor number zero-padded to two digits: "s03.c2+1". The group id (before
// the "+") is unique per (sensor, channel), so the plug-in asks about every
// channel once and groups exactly as the profile says. Allocates.
std::string ItemId(size_t sensor, size_t channel, size_t component);
std::string GroupId(size_t sensor, size_t channel);

// The tables a profile describes: items sensor by sensor, channel by channel,
// component by component; the sensor's rate at every one of its items.
StationTables TablesFromProfile(const Profile& profile);

}  // namespace varnix::station
