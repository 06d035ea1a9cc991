#include "emulator/vdd_host/capture/capture_summary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace varnix::vddhost {

namespace {

// Pushes arrive on the plug-in's poll, not on the station's clock: allow a
// few frames and a few polls of slack when comparing with elapsed time.
constexpr double kSlackFrames = 3.0;
constexpr double kSlackSeconds = 0.1;

std::string Ms(int64_t ns) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(ns) * 1e-6);
    return text;
}

std::string Cell(const std::string& text, int width) {
    char cell[128];
    std::snprintf(cell, sizeof cell, "%*s", width, text.c_str());
    return cell;
}

}  // namespace

TimeExpectation ExpectFromTime(const DeviceTally& tally, double rateHz) {
    TimeExpectation expectation;
    const double samplesPerFrame = tally.samplesPerFrame > 0 ? tally.samplesPerFrame : 0.0;
    for (const auto& [session, span] : tally.sessionSpans) {
        const double elapsed = static_cast<double>(span.second - span.first) * 1e-9;
        // The first push of a session brings one frame; the rest arrive at the rate.
        expectation.expected += samplesPerFrame + elapsed * rateHz;
        expectation.tolerance += kSlackFrames * samplesPerFrame + kSlackSeconds * rateHz;
    }
    return expectation;
}

namespace {

void PrintTableHeader(std::ostream& out) {
    out << "\n"
        << Cell("device", 14) << Cell("pushes", 8) << Cell("samples", 9) << Cell("expected", 10)
        << Cell("due", 10) << Cell("lost", 6) << Cell("breaks", 7) << Cell("skipped", 8)
        << Cell("altered", 8) << Cell("p50 ms", 8) << Cell("p99 ms", 8) << Cell("max ms", 8)
        << Cell("ready", 6) << "\n";
}

// One device's row: what it received against what was due.
struct DeviceRow {
    std::string name;
    double rateHz = 0.0;
    TimeExpectation time;
    std::string due = "-";
    std::string lost = "-";
};

// Frames due and lost, when the values were checked; the failures they show.
void AccountFrames(const PushChecker& checker, const CaptureFacts& facts, const DeviceTally& tally,
                   DeviceRow& row, std::vector<std::string>& failures) {
    const auto account =
        AccountDeliveries(tally, checker.DeliveryCutoff().value_or(facts.counters.framesDelivered));
    if (!checker.ValuesChecked() || !account) return;
    const int64_t expected = account->due;
    const int64_t missing = account->missing;
    row.due = std::to_string(expected);
    row.lost = std::to_string(missing);
    if (missing > 0) {
        failures.push_back("device " + row.name + " lost " + std::to_string(missing) + " of the " +
                           std::to_string(expected) +
                           " frames the station delivered after its first push");
    } else if (missing < 0) {
        failures.push_back(
            "device " + row.name + " got " + std::to_string(-missing) +
            " more pushes than the station delivered frames before the capture ended");
    }
}

// What the device's own tally shows wrong: no push, too few or too many
// samples for the time, index breaks, skipped or altered pushes.
void TallyFailures(const DeviceTally& tally, const DeviceRow& row,
                   std::vector<std::string>& failures) {
    const std::string& name = row.name;
    if (tally.pushes == 0) failures.push_back("device " + name + " received no push");
    if (tally.pushes > 0 && row.rateHz > 0 &&
        std::fabs(static_cast<double>(tally.samples) - row.time.expected) > row.time.tolerance) {
        char line[256];
        std::snprintf(line, sizeof line,
                      "device %s received %llu samples per stream, expected %.0f +- %.0f from "
                      "elapsed time x %.3f Hz",
                      name.c_str(), static_cast<unsigned long long>(tally.samples),
                      row.time.expected, row.time.tolerance, row.rateHz);
        failures.push_back(line);
    }
    if (tally.indexBreaks > 0) {
        failures.push_back("device " + name + ": " + std::to_string(tally.indexBreaks) +
                           " first-sample index breaks (" + tally.problems.front() + ")");
    }
    if (tally.skippedFrames > 0) {
        failures.push_back("device " + name + ": " + std::to_string(tally.skippedFrames) +
                           " delivered frames never pushed");
    }
    if (tally.valueMismatches > 0) {
        failures.push_back("device " + name + ": " + std::to_string(tally.valueMismatches) +
                           " pushes differ from what the station delivered (" +
                           (tally.problems.empty() ? std::string("?") : tally.problems.front()) +
                           ")");
    }
}

void PrintDeviceRow(const DeviceTally& tally, const DeviceRow& row, bool values,
                    const std::string& ready, std::ostream& out) {
    const LatencyHistogram& latency = tally.latency;
    const bool timed = latency.Count() > 0;
    char expected[32];
    std::snprintf(expected, sizeof expected, "%.0f", row.time.expected);
    out << Cell(row.name, 14) << Cell(std::to_string(tally.pushes), 8)
        << Cell(std::to_string(tally.samples), 9) << Cell(row.rateHz > 0 ? expected : "-", 10)
        << Cell(row.due, 10) << Cell(row.lost, 6) << Cell(std::to_string(tally.indexBreaks), 7)
        << Cell(std::to_string(tally.skippedFrames), 8)
        << Cell(values ? std::to_string(tally.valueMismatches) : "-", 8)
        << Cell(timed ? Ms(latency.Percentile(50)) : "-", 8)
        << Cell(timed ? Ms(latency.Percentile(99)) : "-", 8)
        << Cell(timed ? Ms(latency.Max()) : "-", 8) << Cell(ready, 6) << "\n";
}

// The causes that are not one device's: no device, station overflow,
// contract breaches, unreleased errors.
std::vector<std::string> CaptureFailures(const PushChecker& checker, const CaptureFacts& facts) {
    std::vector<std::string> failures;
    if (checker.DeviceCount() == 0) {
        failures.push_back("no device was registered (" + std::to_string(facts.definitions) +
                           " published, " + std::to_string(facts.refusedDevices) + " refused)");
    }
    if (facts.counters.framesDropped > 0) {
        failures.push_back("the station dropped " + std::to_string(facts.counters.framesDropped) +
                           " frames: its queue overflowed while the plug-in did not poll");
    }
    if (facts.violationCount > 0) {
        std::string rules;
        for (const auto& [rule, count] : facts.violationsByRule) {
            rules += (rules.empty() ? "" : ", ") + rule + " x" + std::to_string(count);
        }
        failures.push_back(std::to_string(facts.violationCount) + " contract violations (" + rules +
                           "): " + emulator::Describe(facts.violations.front()));
    }
    if (facts.errorsUnreleased > 0) {
        failures.push_back(std::to_string(facts.errorsUnreleased) + " of " +
                           std::to_string(facts.errorsIssued) +
                           " host error results were never released");
    }
    return failures;
}

void PrintThreads(const PushChecker& checker, const CaptureFacts& facts, std::ostream& out) {
    out << "calls into the host by thread:";
    for (const auto& [name, use] : facts.callThreads) {
        out << "  " << name << " " << use.first << " calls on " << use.second
            << (use.second == 1 ? " thread" : " threads") << ";";
    }
    for (const auto& [name, use] : checker.PushThreads()) {
        out << "  " << name << " " << use.calls << " pushes on " << use.threads
            << (use.threads == 1 ? " thread" : " threads") << ";";
    }
    out << "\n";
}

// Under the table: the station, the host's errors and violations, the
// threads, every violation and every problem a device saw.
void PrintFooter(const PushChecker& checker, const CaptureFacts& facts, std::ostream& out) {
    if (checker.ValuesChecked()) {
        out << "\nstation: simulated, frames delivered " << facts.counters.framesDelivered
            << ", dropped " << facts.counters.framesDropped << ", deepest queue "
            << facts.counters.deepestQueue << "\n";
    } else {
        out << "\nstation: no simulation exports: values, deliveries and latency not checked\n";
    }
    out << "host errors handed out " << facts.errorsIssued << ", unreleased "
        << facts.errorsUnreleased << "; contract violations " << facts.violationCount << "\n";
    PrintThreads(checker, facts, out);
    for (const emulator::Violation& violation : facts.violations)
        out << "  violation " << emulator::Describe(violation) << "\n";
    for (size_t d = 0; d < checker.DeviceCount(); ++d) {
        for (const std::string& problem : checker.Tally(d).problems) {
            out << "  " << checker.Layouts()[d].name << ": " << problem << "\n";
        }
    }
}

}  // namespace

std::vector<std::string> Summarise(const PushChecker& checker, const CaptureFacts& facts,
                                   bool quiet, std::ostream& out) {
    // Causes first (contract breaches, station overflow), then what each device saw.
    std::vector<std::string> deviceFailures;
    if (!quiet) PrintTableHeader(out);
    for (size_t d = 0; d < checker.DeviceCount(); ++d) {
        const DeviceTally& tally = checker.Tally(d);
        DeviceRow row;
        row.name = checker.Layouts()[d].name;
        row.rateHz = d < facts.ratesHz.size() ? facts.ratesHz[d] : 0.0;
        row.time = ExpectFromTime(tally, row.rateHz);
        AccountFrames(checker, facts, tally, row, deviceFailures);
        TallyFailures(tally, row, deviceFailures);
        if (!quiet) {
            const std::string ready =
                d < facts.statuses.size() ? std::to_string(facts.statuses[d].readyState) : "-";
            PrintDeviceRow(tally, row, checker.ValuesChecked(), ready, out);
        }
    }
    std::vector<std::string> failures = CaptureFailures(checker, facts);
    failures.insert(failures.end(), deviceFailures.begin(), deviceFailures.end());
    if (!quiet) PrintFooter(checker, facts, out);
    return failures;
}

std::vector<std::string> SummariseEdf(const std::vector<EdfReport>& reports, bool quiet,
                                      std::ostream& out) {
    std::vector<std::string> failures;
    for (const EdfReport& report : reports) {
        const char* kind = report.kind == EdfKind::kBdfPlus ? "BDF+" : "EDF+";
        if (!report.error.empty())
            failures.push_back(std::string(kind) + " file " + report.path + ": " + report.error);
        if (quiet) continue;
        char line[512];
        std::snprintf(line, sizeof line,
                      "%s %s: session %d, %zu signals, %lld records of %g s (%.3f s of data), %llu "
                      "annotations",
                      kind, report.path.c_str(), report.session, report.signals,
                      static_cast<long long>(report.records), report.recordSeconds,
                      report.dataSeconds, static_cast<unsigned long long>(report.annotations));
        out << line << "\n";
        if (report.annotationsLeftOut > 0) {
            out << "  " << report.annotationsLeftOut
                << " annotations found no room in the file and were left out\n";
        }
        if (!report.clipped.empty()) {
            out << "  clipped at the physical range (see --range):";
            for (const auto& [label, count] : report.clipped)
                out << " " << label << " " << count << ";";
            out << "\n";
        }
        for (const auto& [name, counts] : report.devices) {
            if (counts.lost + counts.beforeStart + counts.notPlaced + counts.skippedFrames +
                    counts.restarts ==
                0)
                continue;
            out << "  " << name << ": " << counts.lost << " samples lost (written as 0), "
                << counts.beforeStart << " pushed before its numbering began, " << counts.notPlaced
                << " late or repeated, " << counts.skippedFrames << " frames skipped, "
                << counts.restarts << " restarts of its numbering\n";
        }
        for (const std::string& name : report.leftOutDevices) {
            out << "  " << name << ": not in the file: its samples per frame are not known\n";
        }
        if (report.pushesAfterClose > 0) {
            out << "  " << report.pushesAfterClose
                << " pushes of the session came after it closed: not in the file\n";
        }
    }
    return failures;
}

std::string Verdict(const std::vector<std::string>& failures, const PushChecker& checker,
                    const std::string& note) {
    const std::string noted = note.empty() ? "" : " (" + note + ")";
    if (failures.empty()) {
        uint64_t pushes = 0;
        for (size_t d = 0; d < checker.DeviceCount(); ++d) pushes += checker.Tally(d).pushes;
        return "vdd-host: PASS" + noted + ": " + std::to_string(checker.DeviceCount()) +
               " devices, " + std::to_string(pushes) + " pushes, nothing lost" +
               (checker.ValuesChecked() ? ", every value as delivered" : " (values not checked)");
    }
    std::string line = "vdd-host: FAIL" + noted + ": " + failures.front();
    if (failures.size() > 1) line += " (+" + std::to_string(failures.size() - 1) + " more)";
    return line;
}

}  // namespace varnix::vddhost
