#include "recording_units.h"

namespace varnix::station {

namespace {

struct DimensionEntry {
    const char* dimension;
    const char* text;
    double scale;
};

// The dimensions vdd-host writes for the host's unit codes (its own
// unit_names table) and the station's texts for the same codes; then the
// voltages other systems write.
constexpr DimensionEntry kDimensions[] = {
    {"", "", 1.0},
    {"m", "METERS", 1.0},
    {"kg", "Kilograms", 1.0},
    {"ms", "Milliseconds", 1.0},
    {"degC", "Celsius", 1.0},
    {"m/s", "METERS_SECOND", 1.0},
    {"rad/s", "RADIANS_S", 1.0},
    {"Hz", "Hz", 1.0},
    {"N", "N", 1.0},
    {"Nm", "Nm", 1.0},
    {"W", "WATTS", 1.0},
    {"a.u.", "Amplitude", 1.0},
    {"V", "VOLTS", 1.0},
    {"uT", "MICROTESLA", 1.0},
    {"mV", "VOLTS", 1e-3},
    {"uV", "VOLTS", 1e-6},
};

}  // namespace

ReplayUnit UnitForDimension(const std::string& dimension) {
    for (const DimensionEntry& entry : kDimensions) {
        if (dimension == entry.dimension) return {entry.text, entry.scale};
    }
    return {dimension, 1.0};
}

}  // namespace varnix::station
