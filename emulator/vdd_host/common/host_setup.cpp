#include "emulator/vdd_host/common/host_setup.h"

#include "emulator/host_operations.h"

#include <mutex>

namespace varnix::vddhost {

void ConfigureHost(emulator::TestHost& host, const HostOptions& options, FILE* trace) {
    auto& settings = host.Settings();
    settings.timebase = kHostTimebase;
    settings.startCode = kHostStartCode;
    // One entry: devices then read StartTrigger while they declare a session.
    settings.entryCount = 1;
    settings.fill = options.parameterBySetValue ? emulator::ParameterFill::kSetValue
                                                : emulator::ParameterFill::kAssignBytes;
    // vdd-host checks every push as it comes and keeps none; the library's
    // push list would grow with the capture.
    settings.keepPushRecords = false;
    settings.keepPushValues = false;
    settings.logPushes = options.trace;
    // A plug-in that logs on every frame would otherwise grow the host by a
    // record and a line a frame: only the latest are kept, the rest counted.
    host.Log().KeepLast(kCallLogWindow);
    host.KeepLastLogLines(kLogLineWindow);

    auto& faults = host.Faults();
    for (const std::string& device : options.refuseDevices) {
        faults.Fail(emulator::op::kRegisterDevice,
                    device == "all" ? emulator::FaultSwitches::kEveryDevice : device);
    }
    for (const std::string& operation : options.failOperations) faults.Fail(operation);
    if (options.failAll) faults.Fail(emulator::FaultSwitches::kEveryOperation);
    if (options.holdPushMs > 0) faults.HoldPushes(options.holdPushMs, options.holdDevice);

    if (options.trace && trace != nullptr) {
        auto mutex = std::make_shared<std::mutex>();
        host.Log().SetObserver([trace, mutex](const emulator::CallRecord& record) {
            std::lock_guard<std::mutex> lock(*mutex);
            std::fprintf(trace, "[trace %6llu %s/%llu] %s(%s)\n",
                         static_cast<unsigned long long>(record.sequence),
                         record.threadName.c_str(), static_cast<unsigned long long>(record.thread),
                         record.operation.c_str(), record.arguments.c_str());
        });
    }
}

}  // namespace varnix::vddhost
