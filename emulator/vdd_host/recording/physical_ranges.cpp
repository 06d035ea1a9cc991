#include "emulator/vdd_host/recording/physical_ranges.h"

#include "emulator/vdd_host/common/unit_names.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace varnix::vddhost {

namespace {

constexpr size_t kFieldWidth = 8;

// "%.*f" without trailing zeros (and without a trailing point).
std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string fixed = text;
    if (fixed.find('.') != std::string::npos) {
        while (fixed.back() == '0') fixed.pop_back();
        if (fixed.back() == '.') fixed.pop_back();
    }
    if (fixed == "-0") fixed = "0";
    return fixed;
}

bool ParseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end == text.c_str() + text.size() && std::isfinite(value);
}

std::string UnitList() {
    std::string names;
    for (const UnitInfo& unit : Units())
        names += (names.empty() ? "" : ", ") + std::string(unit.name);
    return names;
}

}  // namespace

bool ToHeaderNumber(double value, HeaderNumber& number, std::string& nearest) {
    nearest.clear();
    for (int decimals = 0; decimals <= 7; ++decimals) {
        const std::string text = Fixed(value, decimals);
        if (text.size() > kFieldWidth) break;
        nearest = text;
        if (std::strtod(text.c_str(), nullptr) == value) {
            number.text = text;
            number.value = value;
            return true;
        }
    }
    return false;
}

std::string ParseRange(const std::string& argument, RangeOverrides& overrides) {
    const std::string usage = "--range " + argument + ": ";
    const size_t equals = argument.find('=');
    const size_t colon = argument.find(':', equals == std::string::npos ? 0 : equals);
    if (equals == std::string::npos || colon == std::string::npos) {
        return usage + "expected UNIT=MIN:MAX, e.g. V=-0.005:0.005";
    }
    const std::string name = argument.substr(0, equals);
    UnitInfo unit;
    if (!UnitNamed(name, unit))
        return usage + "unknown unit \"" + name + "\": use one of " + UnitList();
    const std::string texts[2] = {argument.substr(equals + 1, colon - equals - 1),
                                  argument.substr(colon + 1)};
    HeaderNumber numbers[2];
    for (int k = 0; k < 2; ++k) {
        double value = 0.0;
        if (!ParseNumber(texts[k], value)) {
            return usage + (k == 0 ? "MIN" : "MAX") + " \"" + texts[k] + "\" is not a number";
        }
        std::string nearest;
        if (!ToHeaderNumber(value, numbers[k], nearest)) {
            return usage + texts[k] + " does not fit the 8 characters of an EDF header field" +
                   (nearest.empty() ? std::string(": choose a smaller number")
                                    : ": give at most 8 characters, e.g. " + nearest);
        }
    }
    if (!(numbers[0].value < numbers[1].value)) {
        return usage + "MIN " + numbers[0].text + " must be below MAX " + numbers[1].text;
    }
    overrides[unit.code] = PhysicalRange{numbers[0], numbers[1]};
    return "";
}

PhysicalRange RangeFor(int32_t unitCode, const RangeOverrides& overrides) {
    const auto found = overrides.find(unitCode);
    if (found != overrides.end()) return found->second;
    const UnitInfo unit = UnitOf(unitCode);
    return PhysicalRange{{unit.rangeMin, std::strtod(unit.rangeMin, nullptr)},
                         {unit.rangeMax, std::strtod(unit.rangeMax, nullptr)}};
}

}  // namespace varnix::vddhost
