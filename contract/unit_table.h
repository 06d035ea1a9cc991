// The units a station names and a host codes, as the tools see them: per
// host unit code the station's text for it, the name vdd-host shows, the
// physical dimension vdd-host writes into an EDF+/BDF+ header and reads back
// when a recording is replayed, and the physical range a signal of that unit
// gets there unless vdd-host's --range says otherwise. The one table of the
// simulated station, vdd-host and the tests; the plug-in keeps its own
// (catalogue/unit_mapping.cpp), so that a wrong mapping on either side shows
// up as a failed check.
#pragma once

#include <cstdint>

namespace varnix {

struct UnitFacts {
    int32_t code;
    const char* stationText;   // the station's answer to request 2
    const char* name;          // "V", "other", ...
    const char* edfDimension;  // at most 8 characters
    const char* rangeMin;      // default physical range, as written in the header
    const char* rangeMax;
};

// Default ranges cover what a sensor of the unit typically measures, so
// nothing clips unless a signal is unusual:
//  V      surface EMG: an amplifier input range of +-11 mV;
//  other  the station's accelerometers (g) and gyroscopes (deg/s) both
//         arrive as "other": +-2000 covers +-16 g and +-2000 deg/s;
//  uT     magnetometers up to +-4900 uT;
//  rad/s  +-40 rad/s is about +-2300 deg/s.
// The others are wide guesses. "other" has no station text of its own: a
// text the plug-in does not know becomes "other", so the dimension is
// answered as it is written.
inline constexpr UnitFacts kUnitTable[] = {
    {0, "", "none", "", "-1000", "1000"},
    {1, "METERS", "m", "m", "-10", "10"},
    {2, "Kilograms", "kg", "kg", "-1000", "1000"},
    {3, "Milliseconds", "ms", "ms", "-100000", "100000"},
    {4, "Celsius", "degC", "degC", "-50", "150"},
    {8, "METERS_SECOND", "m/s", "m/s", "-100", "100"},
    {10, "RADIANS_S", "rad/s", "rad/s", "-40", "40"},
    {12, "Hz", "Hz", "Hz", "-10000", "10000"},
    {13, "N", "N", "N", "-10000", "10000"},
    {14, "Nm", "Nm", "Nm", "-1000", "1000"},
    {16, "WATTS", "W", "W", "-10000", "10000"},
    {18, "Amplitude", "amplitude", "a.u.", "-1000", "1000"},
    {20, "VOLTS", "V", "V", "-0.011", "0.011"},
    {24, "MICROTESLA", "uT", "uT", "-5000", "5000"},
    {25, "other", "other", "other", "-2000", "2000"},
};

// The range of a code the table does not name.
inline constexpr const char* kFallbackRangeMin = "-1000";
inline constexpr const char* kFallbackRangeMax = "1000";

}  // namespace varnix
