#include "catalogue/unit_mapping.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using varnix::HostUnitFromText;

namespace {

TEST(UnitMapping, EveryTableTextGivesItsCode) {
    const std::pair<const char*, int32_t> table[] = {
        {"", 0},        {"METERS", 1},        {"Kilograms", 2},   {"Milliseconds", 3},
        {"Celsius", 4}, {"METERS_SECOND", 8}, {"RADIANS_S", 10},  {"Hz", 12},
        {"N", 13},      {"Nm", 14},           {"WATTS", 16},      {"Amplitude", 18},
        {"VOLTS", 20},  {"MILLIVOLTS", 20},   {"MICROTESLA", 24},
    };
    for (const auto& [text, code] : table) {
        EXPECT_EQ(HostUnitFromText(text), code) << '"' << text << '"';
    }
}

TEST(UnitMapping, NearMissesGiveTheUnknownCode) {
    for (const char* text : {"volts", "Volts", "VOLTS ", " VOLTS", "meters", "KILOGRAMS", "celsius",
                             "HZ", "n", "NM", "METERS_", "MILLIVOLT", "g", " "}) {
        EXPECT_EQ(HostUnitFromText(text), 25) << '"' << text << '"';
    }
    // Exact length counts: a text that only starts with a table entry, up to
    // an embedded NUL, is another text.
    EXPECT_EQ(HostUnitFromText(std::string("VOLTS\0", 6)), 25);
    EXPECT_EQ(HostUnitFromText(std::string("\0", 1)), 25);
}

}  // namespace
