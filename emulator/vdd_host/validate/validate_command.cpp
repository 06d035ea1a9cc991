// vdd-host validate: randomised host lifecycles against a plug-in, each round
// in a process of its own. This process only draws the rounds, forks and
// reports: it loads no module and starts no thread, so every fork is clean.
#include "emulator/vdd_host/validate/validate_command.h"

#include "emulator/vdd_host/common/capture_interrupt.h"
#include "emulator/vdd_host/common/command_options.h"
#include "emulator/vdd_host/common/default_module.h"
#include "emulator/vdd_host/validate/round_journal.h"
#include "emulator/vdd_host/validate/round_plan.h"
#include "emulator/vdd_host/validate/round_process.h"
#include "emulator/vdd_host/validate/round_runner.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <random>
#include <string>
#include <vector>

namespace varnix::vddhost {

namespace {

// A round's time limit unless --timeout says: room for a busy machine and
// for a sanitizer build, several times slower than the plan.
constexpr int64_t kTimeoutBaseMs = 30'000;
constexpr int64_t kTimeoutPlanFactor = 5;
const int kDefaultStrictness = HostOptions{}.strictness;

std::chrono::milliseconds RoundTimeout(const HostOptions& options, const RoundPlan& plan) {
    if (options.roundTimeoutS) {
        return std::chrono::milliseconds(static_cast<int64_t>(*options.roundTimeoutS * 1000.0));
    }
    return std::chrono::milliseconds(kTimeoutBaseMs + kTimeoutPlanFactor * plan.NominalMs());
}

// Only a seed that is not given comes from outside the generator; it is
// printed, so the run can be repeated.
uint64_t DrawSeed() {
    std::random_device device;
    return 1 + device() % 1'000'000'000u;
}

std::string RepeatCommand(const HostOptions& options, uint64_t seed, int round) {
    std::string command =
        "vdd-host validate --seed " + std::to_string(seed) + " --round " + std::to_string(round);
    if (options.strictness != kDefaultStrictness)
        command += " --strictness " + std::to_string(options.strictness);
    if (options.modulePath != DefaultModulePath(ExecutableDirectory())) {
        command += " --module " + options.modulePath;
    }
    return command;
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

// What failed in a round, first the cause; empty when it passed.
std::vector<std::string> WhatFailed(const RoundProcessEnd& end) {
    std::vector<std::string> lines;
    switch (end.how) {
        case RoundProcessEnd::How::kSignalled:
            lines.push_back("the round's process crashed: killed by " + SignalName(end.signal) +
                            " after the last host step below");
            break;
        case RoundProcessEnd::How::kTimedOut:
            lines.push_back("the round hung: no end after " + Seconds(end.seconds) +
                            " (its process was killed) at the last host step below");
            break;
        case RoundProcessEnd::How::kNotStarted:
            lines.push_back(end.why);
            break;
        case RoundProcessEnd::How::kExited:
            if (end.exitCode != kExitOk && end.exitCode != kExitCheckFailed &&
                end.exitCode != kExitEnvironment) {
                lines.push_back("the round's process ended with exit code " +
                                std::to_string(end.exitCode) +
                                " (a sanitizer's report, if any, is above)");
            } else if (end.exitCode == kExitCheckFailed && end.report.failures.empty()) {
                lines.push_back("the round's process failed without saying why");
            }
            break;
        case RoundProcessEnd::How::kInterrupted:
            break;
    }
    lines.insert(lines.end(), end.report.failures.begin(), end.report.failures.end());
    return lines;
}

void PrintFailedRound(const std::string& repeat, const std::vector<std::string>& whatFailed,
                      const RoundReport& report) {
    std::cout << "  repeat: " << repeat << "\n  what failed:\n";
    for (const std::string& line : whatFailed) std::cout << "    " << line << "\n";
    std::cout << "  last host steps (" << report.lastSteps.size() << " of " << report.steps
              << "):\n";
    for (const std::string& step : report.lastSteps) std::cout << "    " << step << "\n";
}

void PrintIntro(const HostOptions& options, uint64_t seed, int first, int count) {
    std::cout << "vdd-host validate: module " << options.modulePath << ", seed " << seed
              << (options.seed ? "" : " (drawn)") << ", "
              << (options.round ? "round " + std::to_string(first)
                                : std::to_string(count) + (count == 1 ? " round" : " rounds"))
              << " at strictness " << options.strictness << ", each in its own process"
              << std::endl;
}

// What the rounds came to, as the loop goes.
struct ValidateTally {
    int run = 0;
    int failed = 0;
    std::string firstFailure;
};

// [host] Draws round `round`, runs it in a process of its own and prints
// its result. Returns how the process ended.
RoundProcessEnd RunOneRound(const HostOptions& options, uint64_t seed, int round, int last,
                            const CaptureInterrupt& interrupt, ValidateTally& tally) {
    const RoundPlan plan = DrawRound(seed, round, options.strictness);
    RoundProcessEnd end = RunRoundProcess(
        [&](int journalFd) {
            RoundJournal journal(journalFd);
            return RunRound(plan, options, journal);
        },
        RoundTimeout(options, plan), [&] { return interrupt.Requested(); },
        [&](const std::string& step) {
            // A repeated round shows every step as it is taken.
            if (options.round && !options.quiet) std::cout << "  " << step << std::endl;
        });
    if (end.how == RoundProcessEnd::How::kInterrupted || !end.report.environmentError.empty())
        return end;
    ++tally.run;
    const std::vector<std::string> whatFailed = WhatFailed(end);
    const std::string name =
        "round " + std::to_string(round) + (options.round ? "" : "/" + std::to_string(last));
    if (whatFailed.empty()) {
        if (!options.quiet) {
            std::cout << name << ": PASS in " << Seconds(end.seconds) << ": " << DescribePlan(plan)
                      << "; " << end.report.summary << std::endl;
        }
        return end;
    }
    ++tally.failed;
    const std::string repeat = RepeatCommand(options, seed, round);
    if (tally.firstFailure.empty())
        tally.firstFailure = "round " + std::to_string(round) + ": " + whatFailed.front() +
                             " (repeat: " + repeat + ")";
    std::cout << name << ": FAIL in " << Seconds(end.seconds) << ": " << DescribePlan(plan) << "\n";
    PrintFailedRound(repeat, whatFailed, end.report);
    std::cout.flush();
    return end;
}

// The verdict line; the process exit code.
int Conclude(const HostOptions& options, uint64_t seed, double seconds, const ValidateTally& tally,
             const CaptureInterrupt& interrupt) {
    const std::string rounds = std::to_string(tally.run) + (tally.run == 1 ? " round" : " rounds");
    const std::string how = "at strictness " + std::to_string(options.strictness) + " (seed " +
                            std::to_string(seed) + ", " + Seconds(seconds) + ")";
    if (interrupt.Requested()) {
        std::cout << "vdd-host: " << (tally.failed > 0 ? "FAIL" : "STOPPED")
                  << " (stopped early by " << interrupt.SignalName() << "): " << rounds << " "
                  << how
                  << (tally.failed > 0 ? ", " + std::to_string(tally.failed) +
                                             " failed; first: " + tally.firstFailure
                                       : "")
                  << std::endl;
        return interrupt.ExitCode();
    }
    if (tally.failed > 0) {
        std::cout << "vdd-host: FAIL: " << tally.failed << " of " << rounds << " failed " << how
                  << "; first: " << tally.firstFailure << std::endl;
        return kExitCheckFailed;
    }
    std::cout << "vdd-host: PASS: " << rounds << " " << how
              << ": no crash, no hang, no contract violation, nothing lost or altered, nothing "
                 "left behind"
              << std::endl;
    return kExitOk;
}

}  // namespace

int RunValidate(const HostOptions& options) {
    const CaptureInterrupt interrupt;
    const uint64_t seed = options.seed ? *options.seed : DrawSeed();
    const int first = options.round.value_or(1);
    const int last = options.round.value_or(options.rounds);
    if (!options.quiet) PrintIntro(options, seed, first, last - first + 1);
    const auto startedAt = std::chrono::steady_clock::now();
    ValidateTally tally;
    for (int round = first; round <= last && !interrupt.Requested(); ++round) {
        const RoundProcessEnd end = RunOneRound(options, seed, round, last, interrupt, tally);
        if (end.how == RoundProcessEnd::How::kInterrupted) break;
        if (!end.report.environmentError.empty()) {
            std::cerr << "vdd-host: " << end.report.environmentError << "\n";
            return kExitEnvironment;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - startedAt).count();
    return Conclude(options, seed, seconds, tally, interrupt);
}

}  // namespace varnix::vddhost
