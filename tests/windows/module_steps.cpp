#include "tests/windows/module_steps.h"

#include "tests/windows/bridge_imports.h"
#include "tests/windows/report.h"
#include "tests/windows/run_guard.h"

void CheckHandshake(const PluginModule& module, HostServices& services) {
    guard::Step("HostAPIVersion, PluginAPIVersion");
    module.HostAPIVersion(nullptr, 1);
    const int32_t version = module.PluginAPIVersion();
    Text got("got ");
    got.Int(version);
    report::Check(version == 1, "PluginAPIVersion answers 1 after HostAPIVersion(nullptr, 1)",
                  got.c_str());
    guard::Step("Initialise");
    report::Check(module.Initialise(&services), "Initialise(services) answers true", "got false");
}

void CheckUnload(PluginModule& module) {
    guard::Step("FreeLibrary");
    Text file(module.FileName());
    const char* base = file.c_str();
    for (const char* c = file.c_str(); *c != '\0'; ++c) {
        if (*c == '\\' || *c == '/') base = c + 1;
    }
    Text name(base);
    const bool freed = module.Unload();
    SetBridgeModule(nullptr);
    guard::Step("after FreeLibrary");
    win::Sleep(kAfterUnloadMs);
    const bool gone = win::GetModuleHandleA(name.c_str()) == nullptr;
    Text detail("FreeLibrary ");
    detail.Add(freed ? "succeeded" : "failed").Add(", the module is ");
    detail.Add(gone ? "gone" : "still loaded");
    Text what("FreeLibrary unloads the module, and nothing of it runs ");
    what.Unsigned(kAfterUnloadMs).Add(" ms later");
    report::Check(freed && gone, what, detail);
}
