#include "station_geometry.h"

#include "contract/base_frame.h"

#include <cmath>
#include <limits>

namespace varnix::station {

namespace {

// One base frame in microseconds: whole, so that a frame's length is exact.

double FrameSeconds(int32_t frameMultiple) {
    return static_cast<double>(kBaseFramePeriodUs * frameMultiple) / 1e6;
}

}  // namespace

std::optional<int32_t> SamplesPerStream(int32_t frameMultiple, double rate) {
    if (frameMultiple < 1 || !(rate > 0.0) || !std::isfinite(rate)) {
        return std::nullopt;
    }
    const double frameSeconds = FrameSeconds(frameMultiple);
    const double whole = std::floor(rate * frameSeconds + 0.5);  // the nearest whole count
    if (whole < 1.0 || whole > static_cast<double>(std::numeric_limits<int32_t>::max())) {
        return std::nullopt;
    }
    if (std::fabs(rate - whole / frameSeconds) > kRateToleranceHz) {
        return std::nullopt;  // samples would fall across frame ends: no layout
    }
    return static_cast<int32_t>(whole);
}

std::pair<double, double> NearestWholeRates(int32_t frameMultiple, double rate) {
    const double frameSeconds = FrameSeconds(frameMultiple < 1 ? 1 : frameMultiple);
    const double below = std::floor(rate * frameSeconds);
    return {below / frameSeconds, (below + 1.0) / frameSeconds};
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
            added.samplesPerStream = SamplesPerStream(tables.frameMultiple, added.rate).value_or(0);
            sensors.push_back(added);
            sensor = &sensors.back();
        }
        ++sensor->streams;
        ++position;
    }
    return sensors;
}

}  // namespace varnix::station
