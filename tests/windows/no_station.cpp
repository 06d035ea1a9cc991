#include "tests/windows/no_station.h"

#include "tests/windows/bridge_imports.h"
#include "tests/windows/definition_builder.h"
#include "tests/windows/device_registrar.h"
#include "tests/windows/host_services.h"
#include "tests/windows/module_steps.h"
#include "tests/windows/report.h"
#include "tests/windows/run_guard.h"
#include "tests/windows/station.h"

namespace {

// One level-3 line, and no other, says what is wrong with the station
// library and where the module looked (its own folder first).
void CheckOneStationError(HostServices& services, const Text& folder, const char* when,
                          bool showLine) {
    Text lines;
    const unsigned count = services.Containing(3, "", lines);
    Text what(when);
    what.Add(" the module has logged exactly one level-3 line, naming ").Add(kStationDll);
    what.Add(" and its own folder");
    if (count == 1 && showLine) what.Add(": ").Add(lines);
    Text got("got ");
    got.Unsigned(count).Add(count == 0 ? " lines" : ": ").Add(lines);
    got.Add("; the module's folder is ").Add(folder);
    report::Check(count == 1 && Contains(lines.c_str(), kStationDll) &&
                      Contains(lines.c_str(), folder.c_str()),
                  what, got);
}

// With no station file beside the module nothing may have loaded one; a
// broken one beside it (an export missing) may stay loaded, but no other.
void CheckNoOtherStationLoaded(const Text& folder) {
    Text beside;
    beside.Add(folder).Add("\\").Add(kStationDll);
    const bool besideExists =
        win::GetFileAttributesA(beside.c_str()) != win::kInvalidFileAttributes;
    win::HMODULE station = win::GetModuleHandleA(kStationDll);
    char path[520] = {};
    if (station != nullptr) win::GetModuleFileNameA(station, path, sizeof path);
    Text loaded("loaded from ");
    loaded.Add(path);
    if (besideExists) {
        report::Check(station == nullptr || SameTextIgnoringCase(path, beside.c_str()),
                      "no VarnixAPI2.dll is loaded but the broken one beside the module",
                      loaded.c_str());
    } else {
        report::Check(station == nullptr, "no VarnixAPI2.dll is loaded in the process",
                      loaded.c_str());
    }
}

}  // namespace

void RunWithoutStation(PluginModule& module) {
    report::SetScope("no station: ");
    guard::WatchModule(module.Handle());
    SetBridgeModule(module.Handle());
    HostServices services;
    DefinitionBuilder builder;
    DeviceRegistrar registrar;
    report::Ok("the module loads and exports the seven entry points");
    const Text folder = FolderOf(module.FileName().c_str());
    CheckHandshake(module, services);

    guard::Step("ProvideDeviceDefinitions");
    module.ProvideDeviceDefinitions(&builder);
    Text calls;
    calls.Unsigned(builder.Calls().Size()).Add(" builder calls, first: ");
    calls.Add(builder.Calls().Size() > 0 ? builder.Calls().At(0) : "none");
    report::Check(builder.Calls().Size() == 0, "ProvideDeviceDefinitions publishes no device",
                  calls.c_str());
    CheckOneStationError(services, folder, "after ProvideDeviceDefinitions", true);
    CheckNoOtherStationLoaded(folder);

    guard::Step("bridge functions");
    const char* answer = varnix_infoRequest("s01.c1+1", 3);
    Text got("got ");
    got.Quoted(answer);
    report::Check(answer == nullptr, "varnix_infoRequest through the module answers null",
                  got.c_str());

    guard::Step("BeginDeviceInstantiation, OnManualDeviceInstantiation");
    module.BeginDeviceInstantiation(&registrar);
    module.OnManualDeviceInstantiation(reinterpret_cast<void*>(kHostArg1), "host text",
                                       reinterpret_cast<void*>(kHostArg3));
    Text registered;
    registered.Unsigned(registrar.Count()).Add(" RegisterDevice calls");
    report::Check(registrar.Count() == 0, "OnManualDeviceInstantiation registers no device",
                  registered.c_str());

    guard::Step("ProvideDeviceDefinitions again");
    module.ProvideDeviceDefinitions(&builder);
    guard::Step("Shutdown");
    module.Shutdown();
    report::Ok("Shutdown returns");
    CheckOneStationError(services, folder, "after a second ProvideDeviceDefinitions and Shutdown",
                         false);
    CheckUnload(module);
    report::SetScope("");
}
