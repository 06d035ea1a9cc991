#include "station_tables.h"

#include <cstdio>

namespace varnix::station {

std::string GroupId(size_t sensor, size_t channel) {
    char text[48];
    std::snprintf(text, sizeof text, "s%02zu.c%zu", sensor + 1, channel + 1);
    return text;
}

std::string ItemId(size_t sensor, size_t channel, size_t component) {
    return GroupId(sensor, channel) + "+" + std::to_string(component + 1);
}

StationTables TablesFromProfile(const Profile& profile) {
    StationTables tables;
    tables.frameMultiple = profile.frameMultiple;
    std::string itemList;
    for (size_t s = 0; s < profile.sensors.size(); ++s) {
        const SensorProfile& sensor = profile.sensors[s];
        for (size_t c = 0; c < sensor.channels.size(); ++c) {
            const ChannelProfile& channel = sensor.channels[c];
            const std::string group = GroupId(s, c);
            tables.answers[{group, kRequestName}] = channel.name;
            tables.answers[{group, kRequestUnit}] = channel.unit;
            tables.answers[{group, kRequestSensor}] = sensor.name;
            for (size_t k = 0; k < channel.components.size(); ++k) {
                const std::string item = ItemId(s, c, k);
                tables.answers[{item, kRequestName}] = channel.components[k];
                tables.answers[{item, kRequestUnit}] = channel.unit;
                tables.answers[{item, kRequestSensor}] = sensor.name;
                tables.rates.push_back(sensor.rate);
                itemList += item;
                itemList += '|';
            }
        }
    }
    tables.itemList = std::move(itemList);
    return tables;
}

}  // namespace varnix::station
