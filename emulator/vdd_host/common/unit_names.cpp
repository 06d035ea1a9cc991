#include "emulator/vdd_host/common/unit_names.h"

#include "contract/unit_table.h"

namespace varnix::vddhost {

namespace {

std::vector<UnitInfo> BuildUnits() {
    std::vector<UnitInfo> units;
    for (const UnitFacts& facts : kUnitTable) {
        units.push_back(
            UnitInfo{facts.code, facts.name, facts.edfDimension, facts.rangeMin, facts.rangeMax});
    }
    return units;
}

const std::vector<UnitInfo> kUnits = BuildUnits();

}  // namespace

const std::vector<UnitInfo>& Units() {
    return kUnits;
}

UnitInfo UnitOf(int32_t unitCode) {
    for (const UnitInfo& unit : kUnits) {
        if (unit.code == unitCode) return unit;
    }
    return UnitInfo{unitCode, "", "", kFallbackRangeMin, kFallbackRangeMax};
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
