// The pieces of --edf without a module or a station: the label scheme and
// its way back to the names, the physical ranges and what EDFlib makes of
// them in the header, the rounding to digital steps, and the assembly of
// pushes into records with their annotations. Also the latency histogram.
#include "emulator/vdd_host/common/latency_histogram.h"
#include "emulator/vdd_host/recording/edf_file.h"
#include "emulator/vdd_host/recording/edf_signals.h"
#include "emulator/vdd_host/recording/physical_ranges.h"
#include "emulator/vdd_host/recording/record_assembler.h"
#include "emulator/vdd_host/recording/recording_comparison.h"
#include "tests/emulator/edf_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <tuple>

namespace varnix::vddhost {
namespace {

using emulator::testing::EdfContent;
using emulator::testing::ReadEdf;

TEST(EdfLabels, ShortUniqueLabelsForPeopleAndTheFullNamesBackFromTheTransducerField) {
    const std::vector<LabelSource> sources = {
        {"EMG 1", "EMG", "EMG", 1, 1, 1},
        {"EMG 1", "ACC", "ACC X", 1, 2, 1},
        {"IMU 12", "GYRO", "GYRO Z", 2, 2, 3},           // 13 characters: fits
        {"Left rectus femoris", "EMG", "EMG", 3, 1, 1},  // too long
        {"Leg", "ACC", "X", 4, 1, 1},                    // "Leg X" twice: numbered
        {"Leg", "GYRO", "X", 4, 2, 1},
        {"BDF", "x", "Annotations", 5, 1, 1},  // a reserved label
        {"S6.1.1", "A", "B", 6, 1, 1},         // "S6.1.1 B": fine on its own
    };
    const std::vector<std::string> labels = MakeLabels(sources);
    ASSERT_EQ(labels.size(), sources.size());
    EXPECT_EQ(labels[0], "EMG 1 EMG");
    EXPECT_EQ(labels[1], "EMG 1 ACC X");
    EXPECT_EQ(labels[2], "IMU 12 GYRO Z");
    EXPECT_EQ(labels[3], "S3.1.1 EMG");
    EXPECT_EQ(labels[4], "S4.1.1 X");
    EXPECT_EQ(labels[5], "S4.2.1 X");
    EXPECT_EQ(labels[6], "S5.1.1 Annotatio");
    EXPECT_EQ(labels[7], "S6.1.1 B");
    std::set<std::string> unique(labels.begin(), labels.end());
    EXPECT_EQ(unique.size(), labels.size());
    for (const std::string& label : labels) EXPECT_LE(label.size(), kLabelWidth) << label;

    // A preferred label equal to another signal's numbered one gives way.
    const auto clash = MakeLabels(
        {{"S1.1.1", "c", "X", 1, 1, 1}, {"Leg", "a", "X", 2, 1, 1}, {"Leg", "b", "X", 2, 2, 1}});
    EXPECT_EQ(std::set<std::string>(clash.begin(), clash.end()).size(), 3u);

    std::string device, output, component;
    const std::string joined = JoinNames("Pad|1", "back\\slash", "Z");
    EXPECT_EQ(joined, "Pad\\|1|back\\\\slash|Z");
    ASSERT_TRUE(SplitNames(joined, device, output, component));
    EXPECT_EQ(device, "Pad|1");
    EXPECT_EQ(output, "back\\slash");
    EXPECT_EQ(component, "Z");
    EXPECT_FALSE(SplitNames("only|two", device, output, component));
}

TEST(EdfRanges, RangeArgumentsAreCheckedAndFitTheHeader) {
    RangeOverrides ranges;
    EXPECT_EQ(ParseRange("V=-0.005:0.005", ranges), "");
    EXPECT_EQ(RangeFor(20, ranges).max.text, "0.005");
    EXPECT_EQ(ParseRange("other=-16:1e1", ranges), "");
    EXPECT_EQ(RangeFor(25, ranges).max.text, "10");
    EXPECT_EQ(RangeFor(24, ranges).min.text, "-5000");  // default
    EXPECT_EQ(RangeFor(999, ranges).max.text, "1000");  // a code without a name

    EXPECT_NE(ParseRange("V-1:1", ranges).find("expected UNIT=MIN:MAX"), std::string::npos);
    EXPECT_NE(ParseRange("volts=-1:1", ranges).find("unknown unit \"volts\": use one of none, m,"),
              std::string::npos);
    EXPECT_NE(ParseRange("V=a:1", ranges).find("MIN \"a\" is not a number"), std::string::npos);
    EXPECT_NE(ParseRange("V=-1:nan", ranges).find("MAX \"nan\" is not a number"),
              std::string::npos);
    EXPECT_NE(ParseRange("V=1:1", ranges).find("MIN 1 must be below MAX 1"), std::string::npos);
    const std::string tooLong = ParseRange("V=-0.0123456:1", ranges);
    EXPECT_NE(tooLong.find("-0.0123456 does not fit the 8 characters"), std::string::npos)
        << tooLong;
    EXPECT_NE(tooLong.find("e.g. -0.01235"), std::string::npos) << tooLong;
    EXPECT_NE(ParseRange("V=-1:123456789", ranges).find("choose a smaller number"),
              std::string::npos);
    EXPECT_EQ(RangeFor(20, ranges).max.text, "0.005") << "a refused argument changes nothing";
}

TEST(EdfRanges, EdflibWritesEveryRangeAsTheTextItCameFrom) {
    // EDFlib cuts the digits of a physical limit instead of rounding them
    // ("-1.0123" came out as "-1.01229"); a reader would then scale every
    // sample with a limit vdd-host did not use.
    const std::vector<std::string> texts = {"-1.0123", "12345.67", "0.011",    "-0.011",
                                            "-2000",   "0.3",      "-0.00055", "9999999"};
    std::vector<EdfSignal> signals;
    for (size_t s = 0; s < texts.size(); ++s) {
        EdfSignal signal;
        signal.label = "S" + std::to_string(s);
        const double value = std::strtod(texts[s].c_str(), nullptr);
        signal.range.min =
            value < 0 ? HeaderNumber{texts[s], value} : HeaderNumber{"-99999", -99999};
        signal.range.max = value < 0 ? HeaderNumber{"99999", 99999} : HeaderNumber{texts[s], value};
        DigitalRange(EdfKind::kBdfPlus, signal.digitalMin, signal.digitalMax);
        signal.samplesPerRecord = 2;
        signals.push_back(signal);
    }
    const std::string path = ::testing::TempDir() + "/ranges.bdf";
    EdfFile file;
    std::string error;
    ASSERT_TRUE(file.Open(path, EdfKind::kBdfPlus, signals, 100000, {"vdd-host", "ranges"}, error))
        << error;
    ASSERT_TRUE(file.WriteRecord(std::vector<int32_t>(2 * signals.size(), 0), error)) << error;
    ASSERT_TRUE(file.Close(error)) << error;
    EdfContent content;
    ASSERT_TRUE(ReadEdf(path, content, error)) << error;
    ASSERT_EQ(content.signals.size(), texts.size());
    for (size_t s = 0; s < texts.size(); ++s) {
        const auto& read = content.signals[s];
        EXPECT_EQ(texts[s][0] == '-' ? read.physicalMinText : read.physicalMaxText, texts[s]);
    }
}

TEST(EdfDigital, ValuesRoundToTheNearestStepAndClipAtTheRangeEnds) {
    EdfSignal signal;
    signal.range = {{"-0.011", -0.011}, {"0.011", 0.011}};
    DigitalRange(EdfKind::kEdfPlus, signal.digitalMin, signal.digitalMax);
    const double step = (0.022) / 65535.0;
    bool clipped = true;
    for (float value : {0.0f, 1e-6f, -5.5e-3f, 0.010999f, -0.011f, 0.011f, 3.3e-7f}) {
        const int32_t digital = ToDigital(value, signal, clipped);
        EXPECT_FALSE(clipped) << value;
        EXPECT_LE(std::fabs(ToPhysical(digital, signal) - value), step / 2 + 1e-12) << value;
    }
    EXPECT_EQ(ToDigital(0.0111f, signal, clipped), 32767);
    EXPECT_TRUE(clipped);
    EXPECT_EQ(ToDigital(-1.0f, signal, clipped), -32768);
    EXPECT_TRUE(clipped);
    EXPECT_EQ(ToDigital(std::numeric_limits<float>::infinity(), signal, clipped), 32767);
    EXPECT_TRUE(clipped);
    EXPECT_EQ(ToDigital(std::numeric_limits<float>::quiet_NaN(), signal, clipped),
              FillDigital(signal));
    EXPECT_TRUE(clipped);
    EXPECT_LE(std::fabs(ToPhysical(FillDigital(signal), signal)), step);
    // Half a step beyond the end still rounds onto the end.
    EXPECT_EQ(ToDigital(static_cast<float>(0.011 + step * 0.4), signal, clipped), 32767);
    EXPECT_FALSE(clipped);
}

// Collects what the assembler writes.
struct Collected final : RecordAssembler::Output {
    std::vector<std::vector<int32_t>> records;
    std::vector<EdfAnnotation> annotations;
    void Record(const std::vector<int32_t>& record) override { records.push_back(record); }
    void Annotation(EdfAnnotation annotation) override {
        annotations.push_back(std::move(annotation));
    }
    const EdfAnnotation* Find(const std::string& text) const {
        for (const auto& annotation : annotations) {
            if (annotation.text == text) return &annotation;
        }
        return nullptr;
    }
};

// Two devices: A with 2 streams at 4 samples a frame, B with 1 stream at 1;
// a record is 2 frames of 0.01 s (A 8 samples, B 2). The range is -100..100
// over -32768..32767: a value v is written as about 327.67 v.
std::vector<EdfSignal> TwoDevices() {
    std::vector<EdfSignal> signals;
    for (auto [device, stream, perRecord] :
         {std::tuple<size_t, size_t, int32_t>{0, 0, 8}, {0, 1, 8}, {1, 0, 2}}) {
        EdfSignal signal;
        signal.device = device;
        signal.stream = stream;
        signal.deviceName = device == 0 ? "A" : "B";
        signal.label = signal.deviceName + std::to_string(stream);
        signal.range = {{"-100", -100}, {"100", 100}};
        DigitalRange(EdfKind::kEdfPlus, signal.digitalMin, signal.digitalMax);
        signal.samplesPerRecord = perRecord;
        signal.rateHz = perRecord / 0.02;
        signals.push_back(signal);
    }
    return signals;
}

void PushA(RecordAssembler& assembler, int64_t first, float base) {
    std::vector<float> values(8);
    for (size_t i = 0; i < 8; ++i) values[i] = base + static_cast<float>(i);
    assembler.Place(0, first, 4, values.data(), values.size(), 0);
}

void PushB(RecordAssembler& assembler, int64_t first, float value, uint64_t skipped = 0) {
    assembler.Place(1, first, 1, &value, 1, skipped);
}

TEST(EdfAssembly, PushesFillRecordsInTimeOrderAndHolesAreFilledAndAnnotated) {
    Collected out;
    RecordAssembler assembler(TwoDevices(), 0.02, 4, out);
    const EdfSignal& a0 = assembler.Signals()[0];
    PushA(assembler, 8, 99);  // before A's numbering began at 0: left out
    PushA(assembler, 0, 0);
    PushB(assembler, 0, 1);
    PushA(assembler, 4, 10);
    EXPECT_TRUE(out.records.empty()) << "B has not reached the record's end";
    PushB(assembler, 1, 2);
    ASSERT_EQ(out.records.size(), 1u);
    const std::vector<int32_t>& first = out.records[0];
    ASSERT_EQ(first.size(), 18u);
    bool clipped = false;
    EXPECT_EQ(first[0], ToDigital(0.0f, a0, clipped));   // A stream 0, sample 0
    EXPECT_EQ(first[4], ToDigital(10.0f, a0, clipped));  // A stream 0, sample 4: the second push
    EXPECT_EQ(first[8], ToDigital(4.0f, a0, clipped));   // A stream 1, sample 0
    EXPECT_EQ(first[16], ToDigital(1.0f, a0, clipped));  // B
    EXPECT_EQ(first[17], ToDigital(2.0f, a0, clipped));

    // A skips a frame (index 8 -> 12): its 4 samples are lost, written as 0.
    PushA(assembler, 12, 20);
    PushB(assembler, 2, 3);
    PushB(assembler, 3, 4);
    ASSERT_EQ(out.records.size(), 2u);
    EXPECT_EQ(out.records[1][0], FillDigital(a0));
    EXPECT_EQ(out.records[1][3], FillDigital(a0));
    EXPECT_EQ(out.records[1][4], ToDigital(20.0f, a0, clipped));
    const EdfAnnotation* lost = out.Find("lost A: 4 samples");
    ASSERT_NE(lost, nullptr);
    EXPECT_NEAR(lost->onsetS, 0.02, 1e-9);
    EXPECT_NEAR(lost->durationS, 0.01, 1e-9);

    // A repeats its last push: left out, nothing moves.
    PushA(assembler, 12, 50);
    EXPECT_EQ(assembler.Device(0).notPlaced, 4u);
    EXPECT_EQ(assembler.Device(0).beforeStart, 4u);
    EXPECT_EQ(assembler.Device(0).lost, 4u);
    EXPECT_EQ(assembler.Device(0).placed, 12u);
    EXPECT_EQ(assembler.Device(1).placed, 4u);

    // The checker saw B skip a frame while its index went on.
    PushB(assembler, 4, 5, 1);
    EXPECT_NE(out.Find("B: 1 frames skipped"), nullptr);
    EXPECT_EQ(assembler.Device(1).skippedFrames, 1u);

    // The end: B reached 0.05 s, A only 0.04 s: A's last frame is lost, and
    // the last record is padded to its end.
    assembler.Finish();
    ASSERT_EQ(out.records.size(), 3u);
    EXPECT_EQ(assembler.Device(0).lost, 8u);
    EXPECT_EQ(out.records[2][0], FillDigital(a0));
    EXPECT_EQ(out.records[2][16], ToDigital(5.0f, a0, clipped));
    EXPECT_EQ(out.records[2][17], FillDigital(a0));
    const EdfAnnotation* padding = out.Find("recording ends; padding follows");
    ASSERT_NE(padding, nullptr);
    EXPECT_NEAR(padding->onsetS, 0.05, 1e-9);
    EXPECT_NEAR(padding->durationS, 0.01, 1e-9);
}

// The station may stream before the host opens the session; a device's first
// pushes then number from 0 as well, and the host's SessionOpened starts the
// numbering again at 0.
TEST(EdfAssembly, PushesBeganBeforeTheHostOpenedTheSessionStayOutEvenFromZero) {
    Collected unnoted;
    RecordAssembler numberingAlone(TwoDevices(), 0.02, 4, unnoted);
    EXPECT_FALSE(numberingAlone.PushedBeforeOpening(0, 500, 4)) << "no opening noted";
    PushA(numberingAlone, 0, 90);
    PushA(numberingAlone, 0, 0);
    EXPECT_NE(unnoted.Find("A: numbering restarted"), nullptr)
        << "by its numbering alone a push from before the opening is the session's";

    Collected out;
    RecordAssembler assembler(TwoDevices(), 0.02, 4, out);
    const EdfSignal& a0 = assembler.Signals()[0];
    assembler.Opening(0, 1000);
    assembler.Opening(1, 1000);
    EXPECT_TRUE(assembler.PushedBeforeOpening(0, 500, 4));  // index 0, before the opening
    EXPECT_TRUE(assembler.PushedBeforeOpening(0, 999, 4));  // index 4
    EXPECT_TRUE(assembler.PushedBeforeOpening(1, 999, 1));
    EXPECT_FALSE(assembler.PushedBeforeOpening(0, 1000, 4));
    EXPECT_FALSE(assembler.PushedBeforeOpening(1, 1200, 1));
    EXPECT_FALSE(assembler.PushedBeforeOpening(7, 0, 4)) << "a device not in the file";
    PushA(assembler, 0, 0);
    PushB(assembler, 0, 1);
    PushA(assembler, 4, 10);
    PushB(assembler, 1, 2);
    ASSERT_EQ(out.records.size(), 1u);
    bool clipped = false;
    EXPECT_EQ(out.records[0][0], ToDigital(0.0f, a0, clipped)) << "the session's first sample";
    EXPECT_EQ(out.records[0][4], ToDigital(10.0f, a0, clipped));
    EXPECT_EQ(out.Find("A: numbering restarted"), nullptr);
    EXPECT_EQ(assembler.Device(0).beforeStart, 8u);
    EXPECT_EQ(assembler.Device(1).beforeStart, 1u);
    EXPECT_EQ(assembler.Device(0).restarts, 0u);
    EXPECT_EQ(assembler.Device(0).placed, 8u);
}

TEST(EdfAssembly, ALaggingDeviceCannotHoldTheRecordsBackAndTheEndIsPadded) {
    Collected out;
    RecordAssembler assembler(TwoDevices(), 0.02, 3, out);
    // B never pushes; A runs 5 records ahead: the oldest are written with B lost.
    for (int64_t frame = 0; frame < 10; ++frame)
        PushA(assembler, frame * 4, static_cast<float>(frame));
    EXPECT_EQ(out.records.size(), 2u) << "3 records held at most: records 0 and 1 forced out";
    EXPECT_EQ(assembler.Device(1).lost, 4u);
    // B comes back late at index 0: its places are written already.
    PushB(assembler, 0, 7);
    EXPECT_TRUE(assembler.Started(1));
    EXPECT_EQ(assembler.Device(1).notPlaced, 1u) << "its place was written already";
    PushA(assembler, 40, 10);  // 11 frames of A: 5.5 records
    assembler.Finish();
    ASSERT_EQ(out.records.size(), 6u);
    EXPECT_NEAR(assembler.DataSeconds(), 0.11, 1e-12);
    const EdfAnnotation* padding = out.Find("recording ends; padding follows");
    ASSERT_NE(padding, nullptr);
    EXPECT_NEAR(padding->onsetS, 0.11, 1e-9);
    EXPECT_NEAR(padding->durationS, 0.01, 1e-9);
    // B is lost for the whole session, in one annotation.
    const EdfAnnotation* lost = out.Find("lost B: 11 samples");
    ASSERT_NE(lost, nullptr) << "annotations: " << out.annotations.size();
    EXPECT_NEAR(lost->onsetS, 0.0, 1e-9);
    EXPECT_NEAR(lost->durationS, 0.11, 1e-9);
}

TEST(EdfAssembly, AtTheCloseTheDevicesBehindCatchUpAndLaterFramesStayOut) {
    // The session closed while a frame was passing through the devices: A
    // had it, B not yet. The file used to end with B's share of it "lost".
    Collected out;
    RecordAssembler assembler(TwoDevices(), 0.02, 4, out);
    for (int64_t frame = 0; frame < 3; ++frame) {
        PushA(assembler, frame * 4, 1);
        if (frame < 2) PushB(assembler, frame, 1);
    }
    assembler.EndAt(assembler.DataSeconds());
    EXPECT_FALSE(assembler.EndReached());
    EXPECT_FALSE(assembler.Place(0, 12, 4, std::vector<float>(8, 1.0f).data(), 8, 0))
        << "A's next frame is after the end";
    PushB(assembler, 2, 1);
    EXPECT_TRUE(assembler.EndReached());
    float late = 1;
    EXPECT_FALSE(assembler.Place(1, 3, 1, &late, 1, 0));
    assembler.Finish();
    EXPECT_EQ(assembler.Device(0).lost + assembler.Device(1).lost, 0u);
    EXPECT_EQ(assembler.Device(0).placed, 12u);
    EXPECT_EQ(assembler.Device(1).placed, 3u);
    ASSERT_EQ(out.records.size(), 2u);
    const EdfAnnotation* padding = out.Find("recording ends; padding follows");
    ASSERT_NE(padding, nullptr);
    EXPECT_NEAR(padding->onsetS, 0.03, 1e-9);
    for (const auto& annotation : out.annotations)
        EXPECT_EQ(annotation.text.rfind("lost", 0), std::string::npos);
}

TEST(EdfAssembly, ClippedSamplesAreCountedAndAnnotatedOncePerRun) {
    Collected out;
    RecordAssembler assembler(TwoDevices(), 0.02, 4, out);
    // B (100 samples a second) clips at samples 0..2, then at 50 (within a
    // second of the last: same run), then at 300 (a new run).
    for (int64_t k = 0; k < 400; ++k) {
        const bool over = k < 3 || k == 50 || k == 300;
        PushB(assembler, k, over ? 150.0f : 1.0f);
        PushA(assembler, k * 4, 0.0f);
    }
    assembler.Finish();
    EXPECT_EQ(assembler.Clipped(2), 5u);
    EXPECT_EQ(assembler.Clipped(0), 0u);
    const EdfAnnotation* first = out.Find("clipped B0: 4");
    ASSERT_NE(first, nullptr);
    EXPECT_NEAR(first->onsetS, 0.0, 1e-9);
    EXPECT_NEAR(first->durationS, 0.51, 1e-9);
    const EdfAnnotation* second = out.Find("clipped B0: 1");
    ASSERT_NE(second, nullptr);
    EXPECT_NEAR(second->onsetS, 3.0, 1e-9);
    ASSERT_EQ(out.records.size(), 200u);
    EXPECT_EQ(out.records[0][16], 32767) << "written at the range's end";
    EXPECT_EQ(out.records[0][17], 32767);
    EXPECT_LT(out.records[199][16], 32767);
    EXPECT_EQ(assembler.Device(0).lost + assembler.Device(1).lost, 0u);
}

TEST(LatencyHistogramTest, PercentilesStayWithinOneBucketOfTheExactValue) {
    LatencyHistogram histogram;
    EXPECT_EQ(histogram.Percentile(50), 0);
    std::vector<int64_t> values;
    uint64_t state = 7;
    for (int i = 0; i < 5000; ++i) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        // 0.2 ms to 2 s, spread over four decades.
        const double exponent =
            static_cast<double>(state >> 11) / static_cast<double>(1ULL << 53) * 4.0;
        values.push_back(static_cast<int64_t>(2e5 * std::pow(10.0, exponent)));
        histogram.Record(values.back());
    }
    std::sort(values.begin(), values.end());
    for (double percent : {0.0, 1.0, 50.0, 90.0, 99.0, 99.9, 100.0}) {
        const size_t rank =
            std::max<size_t>(1, static_cast<size_t>(std::ceil(percent / 100.0 * values.size())));
        const int64_t exact = values[rank - 1];
        const int64_t reported = histogram.Percentile(percent);
        EXPECT_GE(reported, exact) << percent;
        // 1 us below 1 ms, 1 % of the value above.
        EXPECT_LE(reported - exact, std::max<int64_t>(1000, exact / 100)) << percent;
    }
    EXPECT_EQ(histogram.Max(), values.back());
    EXPECT_EQ(histogram.Min(), values.front());
    EXPECT_EQ(histogram.Count(), values.size());
    histogram.Record(60'000'000'000);  // a minute: the overflow bucket, reported exactly
    EXPECT_EQ(histogram.Percentile(100), 60'000'000'000);
    EXPECT_EQ(histogram.Last(), 60'000'000'000);
    // Every bucket's upper edge is the next bucket's lower edge.
    for (size_t bucket = 0; bucket + 2 < LatencyHistogram::kBuckets; ++bucket) {
        ASSERT_EQ(LatencyHistogram::BucketOf(LatencyHistogram::UpperEdgeNs(bucket)), bucket + 1)
            << bucket;
        ASSERT_EQ(LatencyHistogram::BucketOf(LatencyHistogram::UpperEdgeNs(bucket) - 1), bucket)
            << bucket;
    }
}

}  // namespace
}  // namespace varnix::vddhost

// compare leaves out what a replay writes anew, and only that: a lab's own
// annotation that merely starts like one of them must still be compared.
TEST(EdfCompare, OnlyTheCapturesOwnAnnotationsAreLeftOut) {
    using varnix::vddhost::DescribesTheCapture;
    for (const char* text : {"session 1 start", "session 12 start", "clock drift +299.0 +- 0.7 ppm",
                             "frame period 13.49596 ms"})
        EXPECT_TRUE(DescribesTheCapture(text)) << text;
    for (const char* text :
         {"session start", "session 1x start", "session 1 started", "frame period ms",
          "frame period 13.5 s", "frame period about 13.5 ms", "clock drift", "start pulse", ""})
        EXPECT_FALSE(DescribesTheCapture(text)) << text;
}
