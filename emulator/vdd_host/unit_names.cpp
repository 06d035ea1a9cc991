#include "emulator/vdd_host/unit_names.h"

#include <map>

namespace varnix::vddhost {

std::string UnitName(int32_t unitCode) {
    static const std::map<int32_t, std::string> names = {
        {0, "none"}, {1, "m"},   {2, "kg"},  {3, "ms"},        {4, "degC"}, {8, "m/s"}, {10, "rad/s"},
        {12, "Hz"},  {13, "N"},  {14, "Nm"}, {16, "W"},        {18, "amplitude"}, {20, "V"},
        {24, "uT"},  {25, "other"}};
    auto found = names.find(unitCode);
    return found != names.end() ? found->second : "code " + std::to_string(unitCode);
}

}  // namespace varnix::vddhost
