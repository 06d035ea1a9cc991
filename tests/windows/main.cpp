// reference_host.exe: a capture host built with Microsoft's C++ ABI that
// drives a device plug-in module through two whole lives in one process and
// prints one line per check, then "N passed, M failed".
//
//   reference_host.exe <module.vdd> [--stream-ms N] [--step-limit-ms N] [--expect-no-station]
//
// Exit 0 when every check passed, 1 when one failed, 2 for bad input (a
// module path that does not exist, is not a 64-bit Windows DLL, or lacks an
// entry point), 3 when the module crashed or a step hung.
#include "tests/windows/cycle.h"
#include "tests/windows/no_station.h"
#include "tests/windows/report.h"
#include "tests/windows/run_guard.h"

namespace {

constexpr unsigned kBadInputExitCode = 2;
constexpr win::DWORD kDefaultStreamMs = 3000;
constexpr win::DWORD kShortestStreamMs = 500;
constexpr win::DWORD kShortestStepLimitMs = 1000;

struct Options {
    const char* modulePath = nullptr;
    win::DWORD streamMs = kDefaultStreamMs;
    win::DWORD stepLimitMs = guard::kDefaultStepLimitMs;
    bool expectNoStation = false;
    bool help = false;
};

constexpr const char* kUsage[] = {
    "usage: reference_host.exe <module.vdd> [--stream-ms N] [--step-limit-ms N] "
    "[--expect-no-station]",
    "  Loads the device plug-in module the way the capture host does (Microsoft's C++ ABI),",
    "  drives it through two lives in this process (definitions, devices, a session, streaming,",
    "  Shutdown while pushes flow, FreeLibrary) and checks every call and every pushed sample",
    "  against the simulated station (VarnixAPI2.dll) the module loads.",
    "  --stream-ms N        stream N ms in the first life (default 3000; the second streams N/3)",
    "  --step-limit-ms N    a step that takes longer ends the run with a FAIL line (default 60000)",
    "  --expect-no-station  the module sits where no VarnixAPI2.dll can be found: check that it",
    "                       says so once at level 3, publishes nothing and unloads cleanly",
    "  --help               this text",
    "  Prints one line per check and \"N passed, M failed\". Exit 0: all passed; 1: a check "
    "failed;",
    "  2: bad input; 3: the module crashed or a step hung.",
};

[[noreturn]] void Exit(unsigned code) {
    win::ExitProcess(code);
    for (;;) win::Sleep(1000);
}

[[noreturn]] void BadInput(const Text& line) {
    Text error("reference_host: ");
    error.Add(line);
    report::PrintError(error.c_str());
    Exit(kBadInputExitCode);
}

// The value after option argv[i] (which it consumes): milliseconds, at least
// `shortest`; anything else is bad input.
win::DWORD Milliseconds(int argc, char** argv, int& i, win::DWORD shortest) {
    const char* option = argv[i];
    const char* text = i + 1 < argc ? argv[++i] : "";
    uint64_t parsed = 0;
    bool number = *text != '\0';
    for (const char* c = text; number && *c != '\0'; ++c) {
        number = *c >= '0' && *c <= '9' && parsed <= 3600000;
        parsed = parsed * 10 + static_cast<uint64_t>(*c - '0');
    }
    if (!number || parsed < shortest || parsed > 3600000) {
        BadInput(Text(option)
                     .Add(" needs a whole number of milliseconds from ")
                     .Unsigned(shortest)
                     .Add(" to 3600000, got ")
                     .Quoted(text)
                     .Add(" (see --help)"));
    }
    return static_cast<win::DWORD>(parsed);
}

Options ParseArguments(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (SameText(argument, "--help") || SameText(argument, "-h")) {
            options.help = true;
        } else if (SameText(argument, "--expect-no-station")) {
            options.expectNoStation = true;
        } else if (SameText(argument, "--stream-ms")) {
            options.streamMs = Milliseconds(argc, argv, i, kShortestStreamMs);
        } else if (SameText(argument, "--step-limit-ms")) {
            options.stepLimitMs = Milliseconds(argc, argv, i, kShortestStepLimitMs);
        } else if (argument[0] == '-' || options.modulePath != nullptr) {
            BadInput(Text("unexpected argument ").Quoted(argument).Add(" (see --help)"));
        } else {
            options.modulePath = argument;
        }
    }
    if (!options.help && options.modulePath == nullptr) {
        BadInput(Text("no module given: reference_host.exe <module.vdd> (see --help)"));
    }
    return options;
}

// The two lives differ where the module's behaviour may depend on them: a
// refused device or none, which trigger settings are set and how each is
// handed over, how long it streams.
CycleSettings FirstLife(win::DWORD streamMs) {
    CycleSettings life{};
    life.number = 1;
    life.refusedSensor = 2;  // the third device
    life.streamMs = streamMs;
    // StartTrigger stays off: with the start input on, frames would wait for a pulse.
    const bool triggers[] = {false, true, true};
    const FillPath paths[] = {FillPath::kSetValue, FillPath::kAssignBytes, FillPath::kSetValue};
    for (int k = 0; k < expected::kParameterCount; ++k) {
        life.triggers[k] = triggers[k];
        life.paths[k] = paths[k];
    }
    life.expectedConfigure = "1,0,1,1";
    return life;
}

CycleSettings SecondLife(win::DWORD streamMs) {
    CycleSettings life{};
    life.number = 2;
    life.refusedSensor = -1;
    life.streamMs = streamMs / 3 < kShortestStreamMs ? kShortestStreamMs : streamMs / 3;
    const bool triggers[] = {false, false, true};
    const FillPath paths[] = {FillPath::kAssignBytes, FillPath::kSetValue, FillPath::kAssignBytes};
    for (int k = 0; k < expected::kParameterCount; ++k) {
        life.triggers[k] = triggers[k];
        life.paths[k] = paths[k];
    }
    life.expectedConfigure = "1,0,0,1";
    return life;
}

void RunTwoLives(PluginModule& first, const Options& options) {
    Cycle(first, FirstLife(options.streamMs)).Run();
    guard::Step("LoadLibrary again");
    PluginModule second;
    Text problem;
    report::SetScope("cycle 2: ");
    if (!second.Load(options.modulePath, problem)) {
        report::Fail("the module loads again after FreeLibrary", problem.c_str());
        return;
    }
    Cycle(second, SecondLife(options.streamMs)).Run();
}

}  // namespace

// The program's entry point (no C runtime start-up runs before it).
extern "C" void HostMain() {
    guard::Install();
    int argc = 0;
    char** argv = nullptr;
    char** environment = nullptr;
    win::StartupInfo startup{};
    win::__getmainargs(&argc, &argv, &environment, 0, &startup);
    const Options options = ParseArguments(argc, argv);
    if (options.help) {
        for (const char* line : kUsage) report::Print(line);
        Exit(0);
    }
    guard::SetStepLimit(options.stepLimitMs);
    guard::Step("LoadLibrary");
    PluginModule module;
    Text problem;
    if (!module.Load(options.modulePath, problem)) BadInput(problem);
    if (options.expectNoStation) {
        RunWithoutStation(module);
    } else {
        RunTwoLives(module, options);
    }
    report::Summary();
    Exit(report::Failed() == 0 ? 0 : 1);
}
