#include "recording_units.h"

#include "contract/unit_table.h"

namespace varnix::station {

namespace {

struct Voltage {
    const char* dimension;
    double scale;
};

// The voltages other systems write, brought to volts.
constexpr Voltage kVoltages[] = {{"mV", 1e-3}, {"uV", 1e-6}};

}  // namespace

ReplayUnit UnitForDimension(const std::string& dimension) {
    // The dimensions vdd-host writes for the host's unit codes come back as
    // the station's texts for the same codes.
    for (const UnitFacts& unit : kUnitTable) {
        if (dimension == unit.edfDimension) return {unit.stationText, 1.0};
    }
    for (const Voltage& voltage : kVoltages) {
        if (dimension == voltage.dimension) return {"VOLTS", voltage.scale};
    }
    return {dimension, 1.0};
}

}  // namespace varnix::station
