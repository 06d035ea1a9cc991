#include "acquisition/handoff_launcher.h"

#include "acquisition/thread_name.h"

#include <atomic>

namespace varnix {

namespace {
std::atomic<HandoffLauncher> g_launcher{nullptr};
}  // namespace

std::thread StartHandoffThread(const boost::shared_ptr<vDevice>& device) {
    return std::thread([device] {
        NameCurrentThread(kHandoffThreadName);
        device->DeliverFrame();
    });
}

std::thread LaunchHandoff(const boost::shared_ptr<vDevice>& device) {
    HandoffLauncher launcher = g_launcher.load();
    return launcher != nullptr ? launcher(device) : StartHandoffThread(device);
}

void SetHandoffLauncher(HandoffLauncher launcher) {
    g_launcher.store(launcher);
}

}  // namespace varnix
