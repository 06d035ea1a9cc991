// What a validate cycle found wrong once its Shutdown has returned, from the
// host's own records: the contract checks that capture makes (the monitor's
// violations, host errors never released) and the push checker's account of
// every device the host accepted (nothing lost, nothing altered).
#pragma once

#include "emulator/test_host.h"
#include "emulator/vdd_host/common/push_checker.h"

#include <string>
#include <vector>

namespace varnix::vddhost {

// [host] One line per kind of breach, with the first few in detail. Allocates.
std::vector<std::string> ContractFailures(emulator::TestHost& host);

// [host] One line per device that lost, altered, skipped or misnumbered
// samples. Every delivery before the checker's cutoff (the moment Shutdown
// began) is due to every device from its first push on; a device that got
// nothing while others got deliveries before the cutoff lost them all.
// Devices whose values cannot be checked are judged on their numbering only.
std::vector<std::string> DeliveryFailures(const PushChecker& checker);

}  // namespace varnix::vddhost
