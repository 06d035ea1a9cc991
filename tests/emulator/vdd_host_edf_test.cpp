// A short capture of the real module written as BDF+ and EDF+ at once, read
// back by two readers that share nothing with EDFlib (the reader of the
// published layout in edf_reader.h, and biosig's save2gdf): every sample
// equals the value the station delivered within one digital step, and the
// rates, labels, units and annotations are as written.
#include "contract/base_frame.h"
#include "emulator/thread_identity.h"
#include "emulator/vdd_host/common/capture_timing.h"
#include "emulator/vdd_host/recording/edf_recorder.h"
#include "tests/emulator/edf_reader.h"
#include "tests/emulator/in_process_capture.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <map>

namespace varnix::emulator::testing {
namespace {

constexpr int32_t kSamples = 27;  // 2000 Hz x 13.5 ms
constexpr size_t kStreams = 4;    // EMG, ACC X, ACC Y, ACC Z
constexpr size_t kDoctoredDevice = 1;
constexpr uint64_t kDroppedPush = 5;

// Hands pushes on to a recorder made once the layouts are known.
struct Forward final : vddhost::PushSink {
    vddhost::PushSink* target = nullptr;
    void Take(size_t device, const vddhost::CapturedPush& push,
              const vddhost::PushNotes& notes) override {
        if (target != nullptr) target->Take(device, push, notes);
    }
};

std::string OutputOf(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[4096];
    size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, read);
    pclose(pipe);
    return output;
}

const EdfContent::Annotation* Find(const EdfContent& content, const std::string& text) {
    for (const auto& annotation : content.annotations) {
        if (annotation.text == text) return &annotation;
    }
    return nullptr;
}

class VddHostEdf : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        capture_ = new InProcessCapture;
        capture_->host.Settings().keepPushValues = true;
        vddhost::RangeOverrides ranges;
        // About 1 g on every ACC Z: clipped at 0.5, counted and annotated.
        ASSERT_EQ(vddhost::ParseRange("other=-0.5:0.5", ranges), "");
        static Forward bdfSink, edfSink;
        capture_->sinks = {&bdfSink, &edfSink};
        const auto filter = [](vddhost::PushChecker& checker, const PushView& push) {
            if (!(push.device == kDoctoredDevice && push.pushNumber == kDroppedPush))
                checker.Enqueue(push);
        };
        SessionHooks hooks;
        hooks.declared = [ranges] {
            const auto& layouts = capture_->checker->Layouts();
            for (auto [path, kind, sink, recorder] :
                 {std::tuple{BdfPath(), vddhost::EdfKind::kBdfPlus, &bdfSink, &bdf_},
                  std::tuple{EdfPath(), vddhost::EdfKind::kEdfPlus, &edfSink, &edf_}}) {
                *recorder = new vddhost::EdfRecorder(path, kind, ranges, 1, layouts);
                ASSERT_TRUE(
                    (*recorder)->BeginSession(1, vddhost::TimingOf(capture_->host, layouts)));
                sink->target = *recorder;
            }
        };
        hooks.streaming = [] {
            pulseNs_ = MonotonicNowNs();
            bdf_->Note(pulseNs_, "start pulse");
            edf_->Note(pulseNs_, "start pulse");
        };
        hooks.closed = [] {
            bdf_->EndSession();
            edf_->EndSession();
        };
        capture_->Run(1.0, filter, hooks);
    }
    static void TearDownTestSuite() {
        delete bdf_;
        delete edf_;
        delete capture_;
    }
    static std::string BdfPath() { return ::testing::TempDir() + "/capture.bdf"; }
    static std::string EdfPath() { return ::testing::TempDir() + "/capture.edf"; }

    // Checks one file against the station's delivered frames.
    void CheckFile(const std::string& path, bool bdf, const vddhost::EdfReport& report) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(report.error.empty()) << report.error;
        EdfContent content;
        std::string error;
        ASSERT_TRUE(ReadEdf(path, content, error)) << error;
        EXPECT_EQ(content.bdf, bdf);
        EXPECT_EQ(content.reserved.rfind(bdf ? "BDF+C" : "EDF+C", 0), 0u) << content.reserved;
        EXPECT_DOUBLE_EQ(content.recordSeconds, 0.108);
        EXPECT_EQ(content.records, report.records);
        const auto& checker = *capture_->checker;
        const auto& station = capture_->environment.station;
        ASSERT_EQ(content.signals.size(), checker.DeviceCount() * kStreams);

        uint64_t pushesMost = 0;
        for (size_t d = 0; d < checker.DeviceCount(); ++d) {
            const auto& layout = checker.Layouts()[d];
            const auto pushes = capture_->host.Context(d).Pushes();
            ASSERT_FALSE(pushes.empty());
            ASSERT_EQ(pushes.front().firstSampleIndex, 0)
                << "the session's numbering starts the file";
            ASSERT_TRUE(checker.Tally(d).firstDelivery.has_value());
            pushesMost = std::max<uint64_t>(pushesMost, pushes.size());
            for (size_t j = 0; j < kStreams; ++j) {
                const auto& signal = content.signals[d * kStreams + j];
                SCOPED_TRACE(signal.label);
                const auto& stream = layout.streams[j];
                EXPECT_EQ(signal.label, layout.name + " " + stream.component);
                EXPECT_EQ(signal.transducer,
                          layout.name + "|" + stream.output + "|" + stream.component);
                EXPECT_EQ(signal.dimension, j == 0 ? "V" : "other");
                EXPECT_EQ(signal.physicalMaxText, j == 0 ? "0.011" : "0.5");
                EXPECT_EQ(signal.physicalMinText, j == 0 ? "-0.011" : "-0.5");
                EXPECT_EQ(signal.digitalMax, bdf ? 8388607 : 32767);
                ASSERT_EQ(signal.samplesPerRecord, 8 * kSamples);
                EXPECT_DOUBLE_EQ(signal.samplesPerRecord / content.recordSeconds, 2000.0);
                ASSERT_GE(signal.digital.size(), pushes.size() * kSamples);
                uint64_t clipped = 0;
                // The file's sample k is the device's sample k; it came in the
                // delivery k / S places after the device's first.
                for (size_t push = 0; push < pushes.size(); ++push) {
                    VarnixSimFrameInfo info{};
                    std::vector<float> frame;
                    ASSERT_TRUE(station.DeliveredFrame(*checker.Tally(d).firstDelivery + push, info,
                                                       frame));
                    for (size_t i = 0; i < kSamples; ++i) {
                        const size_t k = push * kSamples + i;
                        if (d == kDoctoredDevice && push == kDroppedPush) {
                            ASSERT_LE(std::fabs(signal.Physical(k)), signal.Step())
                                << "a lost sample reads 0";
                            continue;
                        }
                        const double delivered = frame.at(*layout.frameOffset + j * kSamples + i);
                        const double low = signal.physicalMin, high = signal.physicalMax;
                        if (delivered > high + signal.Step() / 2 ||
                            delivered < low - signal.Step() / 2) {
                            ++clipped;
                            ASSERT_EQ(signal.digital[k],
                                      delivered > high ? signal.digitalMax : signal.digitalMin)
                                << k;
                        } else {
                            // Rounded to the nearest step: half a step at most (within one, as promised).
                            ASSERT_LE(std::fabs(signal.Physical(k) - delivered),
                                      signal.Step() * 0.5000001)
                                << "sample " << k;
                        }
                    }
                }
                uint64_t reported = 0;
                for (const auto& [label, count] : report.clipped)
                    reported += label == signal.label ? count : 0;
                EXPECT_EQ(reported, clipped);
                if (j == 3) {
                    EXPECT_EQ(clipped,
                              pushes.size() * kSamples - (d == kDoctoredDevice ? kSamples : 0))
                        << "gravity is above 0.5 g all along";
                    EXPECT_NE(
                        Find(content, "clipped " + signal.label + ": " + std::to_string(clipped)),
                        nullptr);
                }
            }
        }
        const auto* start = Find(content, "session 1 start");
        ASSERT_NE(start, nullptr);
        EXPECT_EQ(start->onset, 0.0);
        const auto& doctored = checker.Layouts()[kDoctoredDevice];
        const auto* lost = Find(content, "lost " + doctored.name + ": 27 samples");
        ASSERT_NE(lost, nullptr);
        EXPECT_NEAR(lost->onset, kDroppedPush * kSamples / 2000.0, 1e-4);
        EXPECT_NEAR(lost->duration, varnix::kBaseFramePeriodS, 1e-4);
        // The data end with the furthest device's last frame: where the last
        // record's padding begins, or with the last record when they filled it.
        const auto* ends = Find(content, "recording ends; padding follows");
        const double end = ends != nullptr ? ends->onset : content.records * content.recordSeconds;
        EXPECT_NEAR(end, pushesMost * varnix::kBaseFramePeriodS, 1e-4);
        EXPECT_LT(content.records * content.recordSeconds - end, content.recordSeconds);
        // The pulse sits where the host sent it, from the first frame's start.
        VarnixSimFrameInfo first{};
        std::vector<float> ignored;
        ASSERT_TRUE(capture_->environment.station.DeliveredFrame(*checker.Tally(0).firstDelivery,
                                                                 first, ignored));
        const double pulse =
            static_cast<double>(pulseNs_ - (first.readyTimeNs - varnix::kBaseFramePeriodNs)) * 1e-9;
        const auto* pulsed = Find(content, "start pulse");
        ASSERT_NE(pulsed, nullptr);
        EXPECT_NEAR(pulsed->onset, pulse, 2e-4);
        EXPECT_EQ(content.annotations.size(), report.annotations);
    }

    static InProcessCapture* capture_;
    static vddhost::EdfRecorder* bdf_;
    static vddhost::EdfRecorder* edf_;
    static int64_t pulseNs_;
};

InProcessCapture* VddHostEdf::capture_ = nullptr;
vddhost::EdfRecorder* VddHostEdf::bdf_ = nullptr;
vddhost::EdfRecorder* VddHostEdf::edf_ = nullptr;
int64_t VddHostEdf::pulseNs_ = 0;

TEST_F(VddHostEdf, BdfPlusHoldsEverySampleAsDeliveredWithItsRateLabelUnitAndAnnotations) {
    ASSERT_EQ(bdf_->Reports().size(), 1u);
    CheckFile(BdfPath(), true, bdf_->Reports().front());
}

TEST_F(VddHostEdf, EdfPlusHoldsEverySampleWithinItsSixteenBitStep) {
    ASSERT_EQ(edf_->Reports().size(), 1u);
    CheckFile(EdfPath(), false, edf_->Reports().front());
}

TEST_F(VddHostEdf, BiosigReadsTheSameSignalsRatesAndAnnotations) {
    // save2gdf (Debian biosig-tools) parses the file with its own code.
    const std::string json = OutputOf("save2gdf -JSON '" + BdfPath() + "' 2>/dev/null");
    const size_t brace = json.find('{');
    ASSERT_NE(brace, std::string::npos)
        << "save2gdf printed no header; install biosig-tools (scripts/setup.sh does): " << json;
    const nlohmann::json header = nlohmann::json::parse(json.substr(brace), nullptr, false);
    ASSERT_FALSE(header.is_discarded()) << json.substr(0, 400);
    EdfContent content;
    std::string error;
    ASSERT_TRUE(ReadEdf(BdfPath(), content, error)) << error;
    EXPECT_EQ(header.at("NumberOfRecords").get<int64_t>(), content.records);
    const auto& channels = header.at("CHANNEL");
    ASSERT_EQ(channels.size(), content.signals.size() + vddhost::EdfFile::kAnnotationSignals)
        << "and the annotation signals";
    for (size_t s = 0; s < content.signals.size(); ++s) {
        EXPECT_EQ(channels[s].at("Label").get<std::string>(), content.signals[s].label);
        EXPECT_DOUBLE_EQ(channels[s].at("Samplingrate").get<double>(), 2000.0);
        EXPECT_EQ(channels[s].at("Transducer").get<std::string>(), content.signals[s].transducer);
    }
    std::map<std::string, double> events;
    for (const auto& event : header.at("EVENT"))
        events[event.at("Description").get<std::string>()] = event.at("POS").get<double>();
    EXPECT_EQ(events.size(), content.annotations.size());
    for (const auto& annotation : content.annotations) {
        ASSERT_EQ(events.count(annotation.text), 1u) << annotation.text;
        // biosig gives an event's place in samples of the file's rate: 1 / 2000 s.
        EXPECT_NEAR(events[annotation.text], annotation.onset, 5e-4) << annotation.text;
    }
}

}  // namespace
}  // namespace varnix::emulator::testing
