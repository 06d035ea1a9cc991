#include "acquisition/handoff_thread.h"

#include "acquisition/thread_role.h"
#include "platform/platform.h"

#include <utility>

namespace varnix {

namespace {

std::atomic<HandoffThreadStarter> g_starter{nullptr};

std::thread StartThread(std::function<void()> body) {
    const HandoffThreadStarter starter = g_starter.load();
    return starter != nullptr ? starter(std::move(body)) : std::thread(std::move(body));
}

}  // namespace

HandoffThread::HandoffThread(boost::shared_ptr<vDevice> device, HandoffDoorbell& doorbell)
    : device_(std::move(device)), doorbell_(doorbell), thread_(StartThread([this] { Run(); })) {
    platform::NameThread(thread_, kHandoffThreadName);
}

HandoffThread::~HandoffThread() {
    if (thread_.joinable()) {
        RequestStop();
        doorbell_.Ring();
        Join();
    }
}

void HandoffThread::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

// [handoff] The rings are read before the look for work, so a slice given
// and rung after the look wakes the wait at once. A delivery given before a
// stop is made first: a polled frame reaches every device.
void HandoffThread::Run() {
    const platform::PromptWakeScope promptWake;
    for (;;) {
        const uint32_t rings = doorbell_.Rings();
        if (pending_.exchange(false)) {
            device_->DeliverFrame();  // pushes, advances the index, gives the gate back
            continue;
        }
        if (stopping_.load()) {
            return;
        }
        doorbell_.Wait(rings);
    }
}

void SetHandoffThreadStarter(HandoffThreadStarter starter) {
    g_starter.store(starter);
}

}  // namespace varnix
