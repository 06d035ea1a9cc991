#include "emulator/vdd_host/unit_names.h"

namespace varnix::vddhost {

namespace {

// Default ranges cover what a sensor of the unit typically measures, so
// nothing clips unless a signal is unusual:
//  V      surface EMG: an amplifier input range of +-11 mV;
//  other  the station's accelerometers (g) and gyroscopes (deg/s) both
//         arrive as "other": +-2000 covers +-16 g and +-2000 deg/s;
//  uT     magnetometers up to +-4900 uT;
//  rad/s  +-40 rad/s is about +-2300 deg/s.
// The others are wide guesses; --range UNIT=MIN:MAX sets any of them.
const std::vector<UnitInfo> kUnits = {
    {0, "none", "", "-1000", "1000"},        {1, "m", "m", "-10", "10"},
    {2, "kg", "kg", "-1000", "1000"},        {3, "ms", "ms", "-100000", "100000"},
    {4, "degC", "degC", "-50", "150"},       {8, "m/s", "m/s", "-100", "100"},
    {10, "rad/s", "rad/s", "-40", "40"},     {12, "Hz", "Hz", "-10000", "10000"},
    {13, "N", "N", "-10000", "10000"},       {14, "Nm", "Nm", "-1000", "1000"},
    {16, "W", "W", "-10000", "10000"},       {18, "amplitude", "a.u.", "-1000", "1000"},
    {20, "V", "V", "-0.011", "0.011"},       {24, "uT", "uT", "-5000", "5000"},
    {25, "other", "other", "-2000", "2000"},
};

constexpr const char* kFallbackMin = "-1000";
constexpr const char* kFallbackMax = "1000";

}  // namespace

const std::vector<UnitInfo>& Units() {
    return kUnits;
}

UnitInfo UnitOf(int32_t unitCode) {
    for (const UnitInfo& unit : kUnits) {
        if (unit.code == unitCode) return unit;
    }
    return UnitInfo{unitCode, "", "", kFallbackMin, kFallbackMax};
}

std::string UnitName(int32_t unitCode) {
    const UnitInfo unit = UnitOf(unitCode);
    return *unit.name != '\0' ? unit.name : "code " + std::to_string(unitCode);
}

bool UnitNamed(const std::string& name, UnitInfo& unit) {
    for (const UnitInfo& candidate : kUnits) {
        if (name == candidate.name) {
            unit = candidate;
            return true;
        }
    }
    return false;
}

}  // namespace varnix::vddhost
