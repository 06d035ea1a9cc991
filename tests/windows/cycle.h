// One life of the module in the host, as the capture host drives it:
// handshake, definitions, instantiation (one device refused), contexts,
// session declaration and start, streaming, Shutdown while pushes flow,
// FreeLibrary. Each step is a function that prints its check lines.
#pragma once

#include "tests/windows/definition_builder.h"
#include "tests/windows/device_context.h"
#include "tests/windows/device_registrar.h"
#include "tests/windows/host_parameters.h"
#include "tests/windows/host_services.h"
#include "tests/windows/plugin_module.h"
#include "tests/windows/push_recorder.h"
#include "tests/windows/session_declaration.h"
#include "tests/windows/station.h"

struct CycleSettings {
    int number;                                 // names the cycle in every line
    int refusedSensor;                          // registration the host refuses (0-based), -1: none
    win::DWORD streamMs;                        // streaming before Shutdown
    bool triggers[expected::kParameterCount];   // the host's trigger settings
    FillPath paths[expected::kParameterCount];  // how each reaches the plug-in
    const char* expectedConfigure;              // the station's "configure" arguments that follow
};

class Cycle {
public:
    Cycle(PluginModule& module, const CycleSettings& settings);
    // [host] Runs every step on the loaded module and unloads it.
    void Run();

private:
    struct Accepted {
        size_t sensor;
        ViconDigitalDevice::IDevice* device;
    };

    void PublishDefinitions();
    void CheckDefaultValues();
    void AttachStation();
    void CheckStationLayout();
    void CallBridge();
    void CheckBridgeExports();
    void CheckInfoRequest();
    void Instantiate();
    void CollectAccepted();
    void CheckInstantiationLog();
    void AttachContexts();
    void DeclareSessions();
    void DeclareEveryDevice();
    void WaitForSessionStart();
    void CheckSessionStart();
    void CheckTriggerReads();
    void CheckStationConfigured();
    void Stream();
    void ShutdownWhileStreaming();
    void CheckStationStopped();
    void CheckPushesOfSession();
    void CheckHousekeeping();

    int32_t SessionId(size_t sensor) const {
        return settings_.number * 100 + static_cast<int32_t>(sensor) + 1;
    }
    int32_t ExpectedSamplesPerFrame(size_t sensor) const;
    int32_t ExpectedStreams(size_t sensor) const;
    uint64_t Delivered() const;

    PluginModule& module_;
    const CycleSettings settings_;
    Station station_;
    bool stationAttached_ = false;
    HostServices services_;
    DefinitionBuilder builder_;
    DeviceRegistrar registrar_;
    HostParameters parameters_;
    PushRecorder recorder_;
    DeviceContext contexts_[kMaxDevices];
    SessionDeclaration declarations_[kMaxDevices];
    Accepted accepted_[kMaxDevices] = {};
    size_t acceptedCount_ = 0;
    // The station's state at the declaration and afterwards.
    uint64_t firstDelivery_ = 0;
    uint64_t deliveredAtOpen_ = 0;
    uint64_t deliveredBeforeShutdown_ = 0;
    size_t callsBeforeSession_ = 0;
};
