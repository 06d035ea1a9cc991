#include "emulator/host_core.h"

#include <utility>

namespace varnix::emulator {

ViconDigitalDevice::IHostResult HostCore::Enter(const std::string& operation,
                                                const std::string& arguments,
                                                const std::string& device, bool record,
                                                bool canFail, uint64_t* sequence) {
    const uint64_t place = record ? log.Append(operation, arguments) : 0;
    if (sequence != nullptr) *sequence = place;
    if (ShutdownReturned()) {
        monitor.Report("after-shutdown",
                       operation + "(" + arguments + ") called after Shutdown returned",
                       "no call into the host once Shutdown has returned");
    }
    if (canFail && faults.ShouldFail(operation, device)) {
        std::string text = operation + " refused by the host";
        if (!device.empty()) text += " for device " + device;
        return errors.Issue(text, operation);
    }
    return ViconDigitalDevice::IHostResult{nullptr};
}

std::string Quoted(const char* text) {
    if (text == nullptr) return "(null)";
    return std::string("\"") + text + "\"";
}

}  // namespace varnix::emulator
