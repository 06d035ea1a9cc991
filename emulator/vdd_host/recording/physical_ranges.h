// The physical range of each unit in an EDF+/BDF+ file: the documented
// default of unit_names.cpp, or what --range UNIT=MIN:MAX sets.
//
// A header field holds a number in 8 characters, and a reader converts the
// digital samples back with the numbers as written there; so a range is kept
// as the header text and the value that text reads back as, and samples are
// converted with that value.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace varnix::vddhost {

struct HeaderNumber {
    std::string text;  // at most 8 characters, plain decimal
    double value = 0.0;
};

struct PhysicalRange {
    HeaderNumber min;
    HeaderNumber max;
};

// Unit code -> the range --range set for it.
using RangeOverrides = std::map<int32_t, PhysicalRange>;

// The shortest plain decimal text of at most 8 characters that reads back as
// exactly `value`; false (with `nearest` the closest such text, or "" when
// none comes near) when there is none.
bool ToHeaderNumber(double value, HeaderNumber& number, std::string& nearest);

// Parses one --range argument "UNIT=MIN:MAX" into `overrides`. Returns ""
// or one line saying what is wrong with the argument and what to write.
std::string ParseRange(const std::string& argument, RangeOverrides& overrides);

// The range for a unit: its override, else its default.
PhysicalRange RangeFor(int32_t unitCode, const RangeOverrides& overrides);

}  // namespace varnix::vddhost
