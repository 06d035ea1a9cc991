#include "catalogue/unit_mapping.h"

namespace varnix {

namespace {

struct UnitEntry {
    const char* text;
    int32_t code;
};

// The station's unit texts and the host's codes for them. Codes 5, 6, 7, 9,
// 11, 15, 17, 19, 21, 22 and 23 have no text and are never produced.
constexpr UnitEntry kUnitTable[] = {
    {"", 0},        {"METERS", 1},        {"Kilograms", 2},   {"Milliseconds", 3},
    {"Celsius", 4}, {"METERS_SECOND", 8}, {"RADIANS_S", 10},  {"Hz", 12},
    {"N", 13},      {"Nm", 14},           {"WATTS", 16},      {"Amplitude", 18},
    {"VOLTS", 20},  {"MILLIVOLTS", 20},   {"MICROTESLA", 24},
};

}  // namespace

int32_t HostUnitFromText(const std::string& unitText) {
    for (const UnitEntry& entry : kUnitTable) {
        // std::string equality: equal length, then equal bytes.
        if (unitText == entry.text) {
            return entry.code;
        }
    }
    return kUnknownHostUnit;
}

}  // namespace varnix
