#include "emulator/vdd_host/validate/round_verdict.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace varnix::vddhost {

namespace {

// Violations told in detail; the rest are counted by rule.
constexpr size_t kViolationsShown = 3;

}  // namespace

std::vector<std::string> ContractFailures(emulator::TestHost& host) {
    std::vector<std::string> lines;
    const auto violations = host.Monitor().Violations();
    for (size_t v = 0; v < violations.size() && v < kViolationsShown; ++v) {
        lines.push_back("contract violation: " + emulator::Describe(violations[v]));
    }
    const size_t total = host.Monitor().Count();
    if (total > kViolationsShown) {
        std::string rules;
        for (const auto& [rule, count] : host.Monitor().CountsByRule()) {
            rules += (rules.empty() ? "" : ", ") + rule + " x" + std::to_string(count);
        }
        lines.push_back(std::to_string(total) + " contract violations in all (" + rules + ")");
    }
    const size_t unreleased = host.Errors().Unreleased();
    if (unreleased > 0) {
        lines.push_back(std::to_string(unreleased) + " of " +
                        std::to_string(host.Errors().Issued()) +
                        " host error results were never released");
    }
    return lines;
}

std::vector<std::string> DeliveryFailures(const PushChecker& checker) {
    std::vector<std::string> lines;
    const std::optional<uint64_t> cutoff = checker.DeliveryCutoff();
    // The earliest delivery any device got: from there on, a device with
    // none lost every one before the cutoff.
    std::optional<uint64_t> earliest;
    for (size_t d = 0; d < checker.DeviceCount(); ++d) {
        const auto& first = checker.Tally(d).firstDelivery;
        if (first) earliest = std::min(earliest.value_or(*first), *first);
    }
    for (size_t d = 0; d < checker.DeviceCount(); ++d) {
        const DeviceTally& tally = checker.Tally(d);
        const std::string device = "device '" + checker.Layouts()[d].name + "'";
        const std::string first =
            tally.problems.empty() ? std::string() : " (" + tally.problems.front() + ")";
        // "device 'x': <count><what>< (first problem)>", for each kind that counts.
        const auto count = [&](uint64_t howMany, const char* what) {
            if (howMany == 0) return;
            std::string line = device;
            line += ": ";
            line += std::to_string(howMany);
            line += what;
            line += first;
            lines.push_back(std::move(line));
        };
        count(tally.valueMismatches, " pushes differ from what the station delivered");
        count(tally.skippedFrames, " delivered frames never pushed");
        count(tally.indexBreaks, " first-sample index breaks");
        if (!cutoff || !checker.Layouts()[d].frameOffset) continue;
        const auto account = AccountDeliveries(tally, *cutoff);
        if (account && account->missing > 0) {
            lines.push_back(device + " lost " + std::to_string(account->missing) + " of the " +
                            std::to_string(account->due) +
                            " frames delivered from its first push to Shutdown");
        }
        if (!account && tally.pushes == 0 && earliest && *earliest < *cutoff) {
            lines.push_back(device + " received no push, while the others received the " +
                            std::to_string(*cutoff - *earliest) +
                            " frames delivered before Shutdown");
        }
    }
    return lines;
}

}  // namespace varnix::vddhost
