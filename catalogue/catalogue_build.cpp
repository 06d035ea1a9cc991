#include "catalogue/catalogue_build.h"

#include <utility>

namespace varnix {

namespace {

constexpr char kSeparator = '|';
constexpr char kGroupMark = '+';
constexpr int kRequestName = 0;
constexpr int kRequestUnit = 2;
constexpr int kRequestSensor = 3;

// Asks one question; copies the answer into `out`. False when the station
// gave no text, with `result` turned into a failure naming the request.
// `what` says whether `id` is an item or a group id.
bool Ask(StationAnswerSource& answers, const char* what, const std::string& id, int code,
         std::string& out, CatalogueBuildResult& result) {
    const char* answer = answers.InfoRequest(id.c_str(), code);
    if (answer == nullptr) {
        result.ok = false;
        result.failure = "station answered no text to information request " + std::to_string(code) +
                         " for " + what + " \"" + id + "\"; no devices are published";
        result.items.clear();
        return false;
    }
    out.assign(answer);
    return true;
}

std::string GroupIdOf(const std::string& itemId) {
    return itemId.substr(0, itemId.find(kGroupMark));
}

template <typename Record>
Record* FindByName(std::vector<Record>& records, const std::string& name) {
    for (Record& record : records) {
        if (record.name == name) {
            return &record;
        }
    }
    return nullptr;
}

ChannelRecord NewChannel(const ItemAnswers& item) {
    ChannelRecord channel;
    channel.name = item.channelName;
    channel.unitText = item.unitText;
    channel.componentNames.push_back(item.componentName);
    return channel;
}

}  // namespace

CatalogueBuildResult QueryItems(const char* itemListText, StationAnswerSource& answers) {
    CatalogueBuildResult result;
    if (itemListText == nullptr) {
        result.ok = false;
        result.failure =
            "station answered no item list to varnix_initialize; no devices are published";
        return result;
    }
    // The text belongs to the station only until its next call: copy it first.
    const std::string list(itemListText);

    bool groupAsked = false;  // no channel name fetched yet in this run
    std::string lastGroup;
    std::string channelName;
    size_t itemStart = 0;
    for (size_t at = list.find(kSeparator); at != std::string::npos;
         itemStart = at + 1, at = list.find(kSeparator, itemStart)) {
        const size_t position = result.positionCount++;
        if (at == itemStart) {
            continue;  // an empty item: nothing to ask, but its position counts
        }
        ItemAnswers item;
        item.position = position;
        const std::string itemId = list.substr(itemStart, at - itemStart);
        if (!Ask(answers, "item", itemId, kRequestUnit, item.unitText, result)) {
            return result;
        }
        std::string groupId = GroupIdOf(itemId);
        if (!groupAsked || groupId != lastGroup) {
            if (!Ask(answers, "group", groupId, kRequestName, channelName, result)) {
                return result;
            }
            lastGroup = std::move(groupId);
            groupAsked = true;
        }
        if (!Ask(answers, "item", itemId, kRequestName, item.componentName, result) ||
            !Ask(answers, "item", itemId, kRequestSensor, item.sensorName, result)) {
            return result;
        }
        item.channelName = channelName;
        result.items.push_back(std::move(item));
    }
    return result;
}

SensorCatalogue GroupItems(const CatalogueBuildResult& result, const double* sampleRates) {
    SensorCatalogue catalogue;
    if (!result.ok || (sampleRates == nullptr && !result.items.empty())) {
        return catalogue;
    }
    for (const ItemAnswers& item : result.items) {
        SensorRecord* sensor = FindByName(catalogue, item.sensorName);
        if (sensor == nullptr) {
            SensorRecord fresh;
            fresh.name = item.sensorName;
            fresh.sampleRate = sampleRates[item.position];
            catalogue.push_back(std::move(fresh));
            sensor = &catalogue.back();
        }
        if (ChannelRecord* channel = FindByName(sensor->channels, item.channelName)) {
            channel->componentNames.push_back(item.componentName);
        } else {
            sensor->channels.push_back(NewChannel(item));
        }
        ++sensor->streamCount;
    }
    return catalogue;
}

}  // namespace varnix
