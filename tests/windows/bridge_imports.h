// The module's nine bridge functions as a caller built with Microsoft's
// compiler declares them: C++ linkage, global namespace. The compiler
// decorates these declarations; VarnixViconPlugin.def lists the decorated
// names the module exports, so the link itself fails if one declaration
// decorates differently. They are delay-imported (resolved at the first call
// against the module this host loaded by path: delay_load.cpp).
#pragma once

#include "tests/windows/win32.h"

struct VarnixMetadataBuf;
struct VarnixFrameBuf;

__declspec(dllimport) const char* varnix_initialize(VarnixMetadataBuf& pb, int frameThroughput,
                                                    int channelOrganizationSelection);
__declspec(dllimport) const char* varnix_scan(VarnixMetadataBuf& pb);
__declspec(dllimport) void varnix_start();
__declspec(dllimport) void varnix_stop();
__declspec(dllimport) void varnix_close();
__declspec(dllimport) bool varnix_configure(bool globalTriggerEnable, bool startInput,
                                            bool stopInput, bool outputTriggers);
__declspec(dllimport) bool varnix_pollData(VarnixFrameBuf& frame);
__declspec(dllimport) bool varnix_changeSensorMode(VarnixMetadataBuf& pb, const char* id,
                                                   const char* sensorMode);
__declspec(dllimport) const char* varnix_infoRequest(const char* id, int sensorInformationReq);

// The DLL name the decorated functions are imported from.
constexpr const char kModuleImportName[] = "VarnixViconPlugin.vdd";
constexpr size_t kBridgeFunctionCount = 9;

// [host] The loaded module that bridge calls go to from now on; null after
// it is unloaded (a call then ends the run with a FAIL line).
void SetBridgeModule(win::HMODULE module);

// The addresses of all nine functions, taken so that every decorated name
// stays in this program's delay-import table, called or not.
void BridgeFunctionAddresses(const void* (&addresses)[kBridgeFunctionCount]);
