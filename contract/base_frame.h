// The station's base frame: every frame a station hands out lasts a whole
// number of them (its frame multiple), so sample counts and rates are
// reckoned from it. The one place the simulated station, vdd-host and the
// tests read it from; the plug-in keeps its own (catalogue/frame_geometry.h),
// so that a wrong layout on either side shows up as a failed check.
#pragma once

#include <cstdint>

namespace varnix {

constexpr int64_t kBaseFramePeriodNs = 13'500'000;
constexpr int64_t kBaseFramePeriodUs = kBaseFramePeriodNs / 1000;
// Divided, not multiplied: the quotient of two exact integers is the double
// nearest 0.0135, the value the arithmetic on rates was built with.
constexpr double kBaseFramePeriodS = static_cast<double>(kBaseFramePeriodNs) / 1e9;

}  // namespace varnix
