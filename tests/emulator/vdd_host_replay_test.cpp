// The round trip: vdd-host captures a station profile to x (--edf), replays
// x through the plug-in to y (--replay, --edf), and y holds x sample for
// sample, with the same rates, labels, units and annotations apart from the
// session start. Judged twice: by `vdd-host compare` (EDFlib's reader) and
// by the reader of the published layout in edf_reader.h. BDF+ and EDF+, at
// frame multiples 1 and 2, with pulses that did and did not gate the frames.
// Each case is its own pair of processes; the four run side by side.
#include "tests/emulator/edf_reader.h"
#include "tests/emulator/run_process.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <future>
#include <regex>

#include <unistd.h>

namespace varnix::emulator::testing {
namespace {

struct RoundTrip {
    std::string name;
    std::string extension;      // ".bdf" or ".edf"
    std::string captureArgs;    // profile and trigger options of the capture
    std::string replayArgs;     // trigger options of the replay
    double replayExtraS = 0.4;  // the replay runs this much past the recording
    std::string expectedPulse;  // an annotation both files must hold ("" none)
    int frameMultiple = 1;      // the station's, in the capture and in the replay
};

struct Outcome {
    ProcessResult capture, replay, compare;
    std::string x, y;
};

std::string Temp(const std::string& name) {
    return ::testing::TempDir() + "/" + name;
}

const EdfContent::Annotation* Find(const EdfContent& content, const std::string& text) {
    for (const auto& annotation : content.annotations) {
        if (annotation.text == text) return &annotation;
    }
    return nullptr;
}

Outcome RunRoundTrip(const RoundTrip& trip) {
    Outcome outcome;
    outcome.x = Temp("x-" + trip.name + trip.extension);
    outcome.y = Temp("y-" + trip.name + trip.extension);
    outcome.capture = RunVddHost("capture -q -d 1 --edf " + outcome.x + " " + trip.captureArgs);
    if (outcome.capture.exitCode != 0) return outcome;
    EdfContent x;
    std::string error;
    if (!ReadEdf(outcome.x, x, error)) return outcome;
    const EdfContent::Annotation* end = Find(x, "recording ends; padding follows");
    const double seconds = (end != nullptr ? end->onset : 1.2) + trip.replayExtraS;
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.3f", seconds);
    outcome.replay = RunVddHost("capture -d " + std::string(duration) + " --replay " + outcome.x +
                                " --edf " + outcome.y + " " + trip.replayArgs);
    outcome.compare = RunVddHost("compare " + outcome.x + " " + outcome.y);
    return outcome;
}

bool SessionStart(const std::string& text) {
    return std::regex_match(text, std::regex("session [0-9]+ start"));
}

void CheckSame(const RoundTrip& trip, const Outcome& outcome) {
    SCOPED_TRACE(trip.name);
    ASSERT_EQ(outcome.capture.exitCode, 0) << outcome.capture.output;
    ASSERT_EQ(outcome.replay.exitCode, 0) << outcome.replay.output;
    EXPECT_EQ(outcome.compare.exitCode, 0) << outcome.compare.output;
    EXPECT_NE(outcome.compare.output.find("vdd-host: SAME"), std::string::npos)
        << outcome.compare.output;

    EdfContent x, y;
    std::string error;
    ASSERT_TRUE(ReadEdf(outcome.x, x, error)) << error;
    ASSERT_TRUE(ReadEdf(outcome.y, y, error)) << error;
    // The file alone does not tell the frame multiple (8 frames of 13.5 ms
    // last as long as 4 of 27 ms): vdd-host notes it, the replay reads it.
    const std::string note = "frameMultiple=" + std::to_string(trip.frameMultiple);
    EXPECT_NE(x.recording.find(note), std::string::npos) << x.recording;
    EXPECT_NE(y.recording.find(note), std::string::npos) << y.recording;
    EXPECT_EQ(y.bdf, x.bdf);
    EXPECT_EQ(y.recordSeconds, x.recordSeconds);
    EXPECT_EQ(y.records, x.records);
    ASSERT_EQ(y.signals.size(), x.signals.size());
    ASSERT_GT(x.signals.size(), 0u);
    for (size_t s = 0; s < x.signals.size(); ++s) {
        const auto& a = x.signals[s];
        const auto& b = y.signals[s];
        SCOPED_TRACE(a.label);
        EXPECT_EQ(b.label, a.label);
        EXPECT_EQ(b.transducer, a.transducer);
        EXPECT_EQ(b.dimension, a.dimension);
        EXPECT_EQ(b.physicalMinText, a.physicalMinText);
        EXPECT_EQ(b.physicalMaxText, a.physicalMaxText);
        EXPECT_EQ(b.samplesPerRecord, a.samplesPerRecord) << "the same rate";
        EXPECT_EQ(b.digital, a.digital) << "every sample";
    }
    std::vector<EdfContent::Annotation> kept[2];
    for (int f = 0; f < 2; ++f) {
        for (const auto& annotation : (f == 0 ? x : y).annotations) {
            if (!SessionStart(annotation.text)) kept[f].push_back(annotation);
        }
    }
    ASSERT_EQ(kept[1].size(), kept[0].size());
    for (size_t i = 0; i < kept[0].size(); ++i) {
        EXPECT_EQ(kept[1][i].text, kept[0][i].text);
        EXPECT_DOUBLE_EQ(kept[1][i].onset, kept[0][i].onset) << kept[0][i].text;
        EXPECT_DOUBLE_EQ(kept[1][i].duration, kept[0][i].duration) << kept[0][i].text;
    }
    if (!trip.expectedPulse.empty()) {
        EXPECT_NE(Find(x, trip.expectedPulse), nullptr);
    }
}

TEST(VddHostReplay, RoundTripKeepsEverySampleRateLabelUnitAndAnnotation) {
    // F = 2 with a stop pulse the station schedules 600 ms after its start:
    // the frames end there, in the capture and in the replay alike.
    const std::string stopping = Temp("stopping.json");
    std::ofstream(stopping) << R"({"name": "stopping", "seed": 3, "frameMultiple": 2,
        "stopPulseAfterMs": 600, "sensors": [{"name": "Leg {n}", "count": 2, "rate": 2000,
        "channels": [{"name": "EMG", "unit": "VOLTS", "components": ["EMG"], "signal": "emg"},
                     {"name": "ACC", "unit": "g", "components": ["X", "Y", "Z"], "signal": "acc"}]}]})";
    const std::string profiles = SourceDir() + "/profiles/";
    const std::vector<RoundTrip> trips = {
        // The default 8 sensors; a start pulse with the start input off.
        {"bdf-f1", ".bdf", "--start-pulse-after 0.3", "", 0.4, "start pulse", 1},
        // Mixed rates (2000 and 370.37 Hz); the replay runs 2.6 s past the
        // recording's end, so the plug-in's silence report shows.
        {"edf-f1", ".edf", "-p " + profiles + "sensors16.json", "", 2.6, "", 1},
        // The start input on: the recorded start pulse starts the replay.
        {"bdf-f2", ".bdf",
         "-p " + profiles + "sensors1.json --start-trigger --start-pulse-after 0.2",
         "--start-trigger", 0.4, "start pulse", 2},
        {"edf-f2", ".edf", "-p " + stopping + " --stop-trigger", "--stop-trigger", 0.4,
         "stop pulse", 2},
    };
    std::vector<std::future<Outcome>> running;
    for (const RoundTrip& trip : trips) {
        running.push_back(std::async(std::launch::async, [trip] { return RunRoundTrip(trip); }));
    }
    std::vector<Outcome> outcomes;
    for (auto& outcome : running) outcomes.push_back(outcome.get());
    for (size_t t = 0; t < trips.size(); ++t) CheckSame(trips[t], outcomes[t]);
    // A capture whose frames happen to fill its last record exactly has no
    // padding to announce (seen under a sanitizer's slower pace), so not
    // every trip holds the end annotation; but the round trips must carry
    // one, or the comparison above never saw it kept.
    size_t padded = 0;
    for (const Outcome& outcome : outcomes) {
        EdfContent x;
        std::string error;
        if (ReadEdf(outcome.x, x, error) && Find(x, "recording ends; padding follows") != nullptr) {
            ++padded;
        }
    }
    EXPECT_GT(padded, 0u) << "no capture ended inside a record";

    const Outcome& silent = outcomes[1];
    EXPECT_NE(silent.replay.output.find("plug-in error: The station has delivered no frame for"),
              std::string::npos)
        << "at the end of the recording the station falls silent\n"
        << silent.replay.output;
    const Outcome& gated = outcomes[2];
    EdfContent x;
    std::string error;
    ASSERT_TRUE(ReadEdf(gated.x, x, error)) << error;
    ASSERT_NE(Find(x, "start pulse"), nullptr);
    EXPECT_LT(Find(x, "start pulse")->onset, 0.001) << "the start pulse began the frames";
}

TEST(VddHostReplay, CompareTellsTheFirstDifferenceAndRefusesWhatItCannotRead) {
    const std::string x = Temp("compare-x.bdf"), z = Temp("compare-z.bdf");
    ASSERT_EQ(RunVddHost("capture -q -d 0.3 --edf " + x + " -p " + SourceDir() +
                         "/profiles/sensors1.json")
                  .exitCode,
              0);
    EdfContent content;
    std::string error;
    ASSERT_TRUE(ReadEdf(x, content, error)) << error;
    // One sample of signal 2 ("EMG 1 ACC X"), sample 3 of record 0, changed.
    std::ifstream in(x, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t header = 256 * (content.signals.size() + 3);  // + 2 annotation signals, + main
    const size_t at = header + (static_cast<size_t>(content.signals[0].samplesPerRecord) + 3) * 3;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
    std::ofstream(z, std::ios::binary) << bytes;

    const ProcessResult differ = RunVddHost("compare " + x + " " + z);
    EXPECT_EQ(differ.exitCode, 1) << differ.output;
    EXPECT_NE(differ.output.find("signal 2 \"EMG 1 ACC X\": sample 3 (0.0015 s) is "),
              std::string::npos)
        << differ.output;
    EXPECT_NE(differ.output.find("(1 differ)"), std::string::npos) << differ.output;
    EXPECT_NE(differ.output.find("vdd-host: DIFFERENT"), std::string::npos) << differ.output;

    std::ofstream(z) << "not a recording";
    const ProcessResult unreadable = RunVddHost("compare " + x + " " + z);
    EXPECT_EQ(unreadable.exitCode, 3) << unreadable.output;
    EXPECT_NE(unreadable.output.find("cannot read " + z), std::string::npos) << unreadable.output;
    EXPECT_EQ(RunVddHost("compare " + x).exitCode, 2);
}

TEST(VddHostReplay, ReplayErrorsSayWhichFileAndWhichByte) {
    const std::string missing = RunVddHost("capture --replay " + Temp("absent.bdf")).output;
    EXPECT_NE(missing.find("recording " + Temp("absent.bdf") + " not found"), std::string::npos)
        << missing;
    EXPECT_EQ(RunVddHost("capture --replay " + Temp("absent.bdf")).exitCode, 3);

    const std::string cut = Temp("cut.bdf");
    ASSERT_EQ(RunVddHost("capture -q -d 0.3 --edf " + cut).exitCode, 0);
    ASSERT_EQ(truncate(cut.c_str(), 300), 0);
    const ProcessResult broken = RunVddHost("capture --replay " + cut);
    EXPECT_EQ(broken.exitCode, 3);
    EXPECT_NE(broken.output.find("vdd-host: recording " + cut +
                                 ": the file ends at byte 300, inside the signal headers"),
              std::string::npos)
        << broken.output;

    EXPECT_EQ(RunVddHost("capture --replay " + cut + " --profile x.json").exitCode, 2)
        << "a replay or a profile, not both";
}

}  // namespace
}  // namespace varnix::emulator::testing
