#include "emulator/vdd_host/validate/pass_trap.h"

#include <chrono>
#include <thread>

namespace varnix::vddhost {

void PassTrap::Arm(size_t device, int heldMs) {
    heldMs_.store(heldMs);
    sprung_.store(false);
    device_.store(device);
}

void PassTrap::Hold(size_t device) {
    if (device != device_.load() || sprung_.load() || sprung_.exchange(true)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(heldMs_.load()));
}

}  // namespace varnix::vddhost
