// The plug-in's devices, in order of creation, each owned through a shared
// pointer: the device list, a copy of it, or a hand-off thread keeps a device
// alive while it works on it.
#pragma once

#include <boost/shared_ptr.hpp>

#include <vector>

namespace varnix {

class vDevice;

using DeviceList = std::vector<boost::shared_ptr<vDevice>>;

}  // namespace varnix
