#include "emulator/vdd_host/common/capture_interrupt.h"

#include <unistd.h>
#include <atomic>
#include <csignal>
#include <cstring>

namespace varnix::vddhost {

namespace {

// [signal handler] writes, [host] reads.
std::atomic<int> gSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

struct sigaction gPreviousInt {};
struct sigaction gPreviousTerm {};

extern "C" void OnSignal(int signal) {
    int none = 0;
    if (gSignal.compare_exchange_strong(none, signal)) return;
    static const char kLine[] =
        "\nvdd-host: interrupted again: quitting at once; files are left incomplete\n";
    const ssize_t ignored = write(STDERR_FILENO, kLine, sizeof kLine - 1);
    (void)ignored;
    _exit(128 + signal);
}

}  // namespace

CaptureInterrupt::CaptureInterrupt() {
    gSignal.store(0);
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &gPreviousInt);
    sigaction(SIGTERM, &action, &gPreviousTerm);
}

CaptureInterrupt::~CaptureInterrupt() {
    sigaction(SIGINT, &gPreviousInt, nullptr);
    sigaction(SIGTERM, &gPreviousTerm, nullptr);
}

int CaptureInterrupt::Signal() const {
    return gSignal.load();
}

const char* CaptureInterrupt::SignalName() const {
    switch (Signal()) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        default:
            return "no signal";
    }
}

}  // namespace varnix::vddhost
