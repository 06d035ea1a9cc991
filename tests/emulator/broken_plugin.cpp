// A device plug-in with one deliberate fault, for proving that vdd-host
// validate catches it. A thin module of its own: it exports the seven host
// entry points and forwards each to the real module beside it
// (VarnixViconPlugin.vdd), so that it passes every check but the one its
// fault breaks. The fault is chosen when it is built (VARNIX_BROKEN_FAULT):
//   1  Shutdown starts a thread that pushes once more after Shutdown returned
//   2  Shutdown returns with a thread of its own still running
//   3  a device registration the host refuses crashes the process (abort:
//      a signal in every build, where a sanitizer would turn SIGSEGV into
//      a report and an exit code)
//   4  Shutdown never returns
//   5  no fault of the contract, a chatty plug-in: it logs a line into the
//      host on every push, so a host that keeps every line grows with the
//      capture (the soak of vdd-host's memory uses it)
#include "host/host_interfaces.h"
#include "tests/support/host_doubles.h"

#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace ViconDigitalDevice;

namespace {

enum class Fault {
    kPushAfterShutdown = 1,
    kThreadLeft = 2,
    kCrashOnRefusal = 3,
    kHangInShutdown = 4,
    kChatty = 5
};
constexpr Fault kFault = static_cast<Fault>(VARNIX_BROKEN_FAULT);

// The real module's entry points, loaded at the first call of any of ours
// and unloaded by our Shutdown. [host] only.
struct RealModule {
    void* handle = nullptr;
    void (*hostApiVersion)(void*, int32_t) = nullptr;
    int32_t (*pluginApiVersion)() = nullptr;
    bool (*initialise)(IHostServices*) = nullptr;
    void (*provide)(IDeviceDefinitionBuilder*) = nullptr;
    void (*begin)(IDeviceRegistrar*) = nullptr;
    void (*manual)(void*, const char*, void*) = nullptr;
    void (*shutdown)() = nullptr;
};
RealModule gReal;

std::string FolderOfThisModule() {
    Dl_info info{};
    dladdr(reinterpret_cast<void*>(&FolderOfThisModule), &info);
    const std::string path = info.dli_fname != nullptr ? info.dli_fname : "./x";
    return path.substr(0, path.rfind('/'));
}

template <typename Fn>
void Bind(Fn& entry, const char* name) {
    entry = reinterpret_cast<Fn>(dlsym(gReal.handle, name));
    if (entry == nullptr) std::abort();
}

RealModule& Real() {
    if (gReal.handle != nullptr) return gReal;
    gReal.handle =
        dlopen((FolderOfThisModule() + "/VarnixViconPlugin.vdd").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (gReal.handle == nullptr) std::abort();
    Bind(gReal.hostApiVersion, "HostAPIVersion");
    Bind(gReal.pluginApiVersion, "PluginAPIVersion");
    Bind(gReal.initialise, "Initialise");
    Bind(gReal.provide, "ProvideDeviceDefinitions");
    Bind(gReal.begin, "BeginDeviceInstantiation");
    Bind(gReal.manual, "OnManualDeviceInstantiation");
    Bind(gReal.shutdown, "Shutdown");
    return gReal;
}

std::atomic<IHostServices*> gServices{nullptr};  // [host] Initialise sets

// Stands between a device and the host's context: says a line on every push.
class ChattyContext final : public host_doubles::ContextBase {
public:
    explicit ChattyContext(IDeviceContext* host) : host_(host) {}
    IHostResult GetParameterValue(IParameterValue& value, const char* key,
                                  const char* qualifier) override {
        return host_->GetParameterValue(value, key, qualifier);
    }
    void Unused1() override { host_->Unused1(); }
    uint32_t GetEntryCount() override { return host_->GetEntryCount(); }
    IHostResult FillEntries(int32_t* token, void** entries, int32_t* flag) override {
        return host_->FillEntries(token, entries, flag);
    }
    IHostResult PushSamples(int32_t sessionId, int64_t firstSampleIndex, int32_t samplesPerFrame,
                            const int32_t* channelIndices, int32_t channelCount,
                            const float* values, int32_t valueCount) override {
        if (IHostServices* services = gServices.load()) {
            const std::string line = "pushing samples from " + std::to_string(firstSampleIndex) +
                                     " of session " + std::to_string(sessionId);
            services->Log(line.c_str(), 1);
        }
        return host_->PushSamples(sessionId, firstSampleIndex, samplesPerFrame, channelIndices,
                                  channelCount, values, valueCount);
    }
    bool RequestUpdate() override { return host_->RequestUpdate(); }

private:
    IDeviceContext* const host_;
};

// Stands between the host and a real device, to learn its context and session.
class DeviceProxy final : public IDevice {
public:
    explicit DeviceProxy(IDevice* real) : real_(real) {}
    bool AttachContext(IDeviceContext* context) override {
        context_.store(context);
        if (kFault == Fault::kChatty && context != nullptr) {
            chatty_ = std::make_unique<ChattyContext>(context);
            return real_->AttachContext(chatty_.get());
        }
        return real_->AttachContext(context);
    }
    void RefreshEntries() override { real_->RefreshEntries(); }
    bool DeclareSession(int32_t sessionId, ISessionDeclaration* declaration) override {
        sessionId_.store(sessionId);
        return real_->DeclareSession(sessionId, declaration);
    }
    void SessionOpened() override { real_->SessionOpened(); }
    void SoftwareStartTrigger() override { real_->SoftwareStartTrigger(); }
    void SessionClosed() override { real_->SessionClosed(); }
    void GetStatus(int32_t* readyState, bool* redeclareRequested) override {
        real_->GetStatus(readyState, redeclareRequested);
    }
    IDeviceContext* Context() const { return context_.load(); }
    int32_t SessionId() const { return sessionId_.load(); }

private:
    IDevice* const real_;
    std::unique_ptr<ChattyContext> chatty_;          // [host] made at attach, lives with the proxy
    std::atomic<IDeviceContext*> context_{nullptr};  // [host] writes, Shutdown reads
    std::atomic<int32_t> sessionId_{0};
};

std::mutex gDevicesMutex;                            // guards gDevices
std::vector<std::unique_ptr<DeviceProxy>> gDevices;  // the accepted ones

class RegistrarProxy final : public IDeviceRegistrar {
public:
    IHostResult RegisterDevice(void* hostArg1, const char* deviceName, void* hostArg3,
                               const char* deviceNameAgain, IDevice* device) override {
        auto proxy = std::make_unique<DeviceProxy>(device);
        const IHostResult result =
            host->RegisterDevice(hostArg1, deviceName, hostArg3, deviceNameAgain, proxy.get());
        if (result.error != nullptr) {
            if (kFault == Fault::kCrashOnRefusal) std::abort();
            return result;
        }
        std::lock_guard<std::mutex> lock(gDevicesMutex);
        gDevices.push_back(std::move(proxy));
        return result;
    }
    IDeviceRegistrar* host = nullptr;  // [host] only
};
RegistrarProxy gRegistrar;

void StartThread(const char* name, void (*body)(IDeviceContext*, int32_t), IDeviceContext* context,
                 int32_t session) {
    std::thread thread(body, context, session);
    pthread_setname_np(thread.native_handle(), name);
    thread.detach();
}

void PushOnceMore(IDeviceContext* context, int32_t session) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const int32_t channel = 0;
    const float value = 0.0f;
    const IHostResult result = context->PushSamples(session, 0, 1, &channel, 1, &value, 1);
    if (result.error != nullptr) result.error->Release();
}

void SleepForever(IDeviceContext*, int32_t) {
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void HostAPIVersion(void* ignored, int32_t version) {
    Real().hostApiVersion(ignored, version);
}
__attribute__((visibility("default"))) int32_t PluginAPIVersion() {
    return Real().pluginApiVersion();
}
__attribute__((visibility("default"))) bool Initialise(IHostServices* services) {
    gServices.store(services);
    return Real().initialise(services);
}
__attribute__((visibility("default"))) void ProvideDeviceDefinitions(
    IDeviceDefinitionBuilder* builder) {
    Real().provide(builder);
}
__attribute__((visibility("default"))) void BeginDeviceInstantiation(IDeviceRegistrar* registrar) {
    gRegistrar.host = registrar;
    Real().begin(&gRegistrar);
}
__attribute__((visibility("default"))) void OnManualDeviceInstantiation(void* hostArg1,
                                                                        const char* hostText,
                                                                        void* hostArg3) {
    Real().manual(hostArg1, hostText, hostArg3);
}
__attribute__((visibility("default"))) void Shutdown() {
    if (kFault == Fault::kHangInShutdown) {
        for (;;) pause();
    }
    Real().shutdown();
    std::vector<std::unique_ptr<DeviceProxy>> devices;
    {
        std::lock_guard<std::mutex> lock(gDevicesMutex);
        devices.swap(gDevices);
    }
    if (kFault == Fault::kPushAfterShutdown) {
        for (const auto& device : devices) {
            if (device->Context() == nullptr) continue;
            StartThread("late-pusher", &PushOnceMore, device->Context(), device->SessionId());
            break;
        }
    }
    if (kFault == Fault::kThreadLeft) StartThread("left-running", &SleepForever, nullptr, 0);
    dlclose(gReal.handle);
    gReal = RealModule{};
}

}  // extern "C"
