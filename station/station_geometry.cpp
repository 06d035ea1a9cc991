#include "station_geometry.h"

#include "catalogue/frame_geometry.h"

namespace varnix::station {

int32_t SamplesPerStream(int32_t frameMultiple, double rate) {
    return ::SamplesPerFrame(frameMultiple, rate);
}

std::vector<SensorGeometry> GeometryFromTables(const StationTables& tables) {
    std::vector<SensorGeometry> sensors;
    if (!tables.itemList) {
        return sensors;
    }
    const std::string& list = *tables.itemList;
    size_t start = 0;
    size_t position = 0;
    for (size_t bar = list.find('|'); bar != std::string::npos; bar = list.find('|', start)) {
        const std::string item = list.substr(start, bar - start);
        start = bar + 1;
        const auto answer = tables.answers.find({item, kRequestSensor});
        const std::string name =
            answer != tables.answers.end() && answer->second ? *answer->second : std::string();
        SensorGeometry* sensor = nullptr;
        for (SensorGeometry& known : sensors) {
            if (known.name == name) {
                sensor = &known;
                break;
            }
        }
        if (sensor == nullptr) {
            SensorGeometry added;
            added.name = name;
            added.rate = position < tables.rates.size() ? tables.rates[position] : 0.0;
            added.samplesPerStream = SamplesPerStream(tables.frameMultiple, added.rate);
            sensors.push_back(added);
            sensor = &sensors.back();
        }
        ++sensor->streams;
        ++position;
    }
    return sensors;
}

}  // namespace varnix::station
