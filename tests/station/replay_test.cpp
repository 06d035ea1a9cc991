// The station replaying a recording, through its C ABI and control API:
// what it answers from the file's names, rates and units, the frames it
// makes from the file's samples in real time, where it stops, loops and
// begins, the trigger pulses from the annotations, the faults on top, and
// what it says about files it cannot or will not play.
#include "replay_recordings.h"
#include "station_client.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

using namespace station_test;

namespace {

constexpr int64_t kFrame2Ns = 27 * kMs;  // frameMultiple 2

bool LoadFile(const std::string& path, std::string& error) {
    char text[1024] = "";
    const bool good = VarnixSim_LoadProfileFile(path.c_str(), text, sizeof text) == 0;
    error = text;
    return good;
}

bool LoadText(const std::string& json, std::string& error) {
    char text[1024] = "";
    const bool good = VarnixSim_LoadProfileText(json.c_str(), text, sizeof text) == 0;
    error = text;
    return good;
}

class ReplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("VARNIX_STATION_PROFILE");
        VarnixSim_Reset();
    }
    void TearDown() override { VarnixSim_Reset(); }
};

}  // namespace

TEST_F(ReplayTest, AnswersComeFromTheNamesUnitsAndRatesVddHostWrote) {
    const std::string path = TempPath("names.bdf");
    WriteRecording(path, VddHostStyle(3));
    std::string error;
    ASSERT_TRUE(LoadFile(path, error)) << error;

    VarnixMetadataBuf pb{};
    const std::vector<std::string> items = Items(Initialize(pb));
    ASSERT_EQ(items, (std::vector<std::string>{"s01.c1+1", "s01.c2+1", "s02.c1+1"}));
    EXPECT_EQ(pb.frameMultiple, 2) << "the frame multiple vdd-host noted in the file";
    EXPECT_DOUBLE_EQ(pb.sampleRates[0], 2000.0);
    EXPECT_DOUBLE_EQ(pb.sampleRates[1], 2000.0);
    EXPECT_NEAR(pb.sampleRates[2], 370.37, 0.001);
    EXPECT_STREQ(Info("s01.c1+1", 3), "EMG 1");
    EXPECT_STREQ(Info("s01.c1", 0), "EMG");
    EXPECT_STREQ(Info("s01.c2", 0), "ACC");
    EXPECT_STREQ(Info("s01.c2+1", 0), "ACC X");
    EXPECT_STREQ(Info("s02.c1+1", 3), "Leg|L") << "an escaped '|' is part of the name";
    EXPECT_STREQ(Info("s02.c1+1", 0), "GYRO X");
    EXPECT_STREQ(Info("s01.c1+1", 2), "VOLTS") << "V: the host's volts";
    EXPECT_STREQ(Info("s01.c2+1", 2), "other") << "a dimension with no station text as it is";
    ASSERT_EQ(VarnixSim_SensorCount(), 2u);
    EXPECT_EQ(VarnixSim_SamplesPerFrame(0), 54);
    EXPECT_EQ(VarnixSim_SamplesPerFrame(1), 10);

    // The profile's frame multiple wins over the file's note.
    ASSERT_TRUE(LoadText("{\"replay\": \"" + path + "\", \"frameMultiple\": 1}", error)) << error;
    EXPECT_EQ(VarnixSim_FrameMultiple(), 1);
    EXPECT_EQ(VarnixSim_SamplesPerFrame(0), 27);
    EXPECT_EQ(VarnixSim_SamplesPerFrame(1), 5);
}

TEST_F(ReplayTest, ReplayProfilesAreCheckedAndFindTheirRecordingBesideThem) {
    const std::string folder = TempPath("replay-profile");
    std::filesystem::create_directories(folder);
    WriteRecording(folder + "/session.bdf", VddHostStyle(1));
    const std::string profile = folder + "/replay.json";
    std::ofstream(profile) << R"({"replay": "session.bdf", "group": "names"})";
    std::string error;
    ASSERT_TRUE(LoadFile(profile, error))
        << "a relative recording is read from the profile's folder: " << error;
    EXPECT_EQ(VarnixSim_SensorCount(), 2u);

    const struct {
        const char* json;
        const char* expected;
    } refused[] = {
        {R"({"replay": "session.bdf", "group": "rows"})",
         "group: expected one of \"auto\", \"names\", \"signal\", \"label\", got \"rows\""},
        {R"({"replay": "session.bdf", "loop": 1})", "loop: expected true or false, got 1"},
        {R"({"replay": "session.bdf", "from": -1})", "from: expected a number of seconds from 0"},
        {R"({"replay": "session.bdf", "sensors": []})", "sensors: expected one of the fields"},
        {R"({"replay": ""})", "replay: expected a non-empty text"},
    };
    for (const auto& bad : refused) {
        std::ofstream(profile) << bad.json;
        EXPECT_FALSE(LoadFile(profile, error)) << bad.json;
        EXPECT_NE(error.find("station profile " + profile + ": " + bad.expected), std::string::npos)
            << error;
    }
}

TEST_F(ReplayTest, FramesCarryTheRecordedValuesInRealTimeUntilTheDataEnds) {
    const std::string path = TempPath("frames.bdf");
    TestRecording recording = VddHostStyle(3);
    // 12 whole frames in 3 records; vdd-host's end mark says the last two
    // are padding.
    recording.annotations = {{0.0, -1, "session 1 start", ""},
                             {0.27, 0.054, "recording ends; padding follows", ""}};
    WriteRecording(path, recording);
    std::string error;
    ASSERT_TRUE(LoadFile(path, error)) << error;

    BeginSession();
    const std::vector<Collected> frames = CollectFrames(11, std::chrono::milliseconds(700));
    ASSERT_EQ(frames.size(), 10u) << "the frames before the end mark, no more";
    for (size_t k = 0; k < frames.size(); ++k) {
        ASSERT_EQ(frames[k].values, ExpectedFrame(recording, static_cast<int64_t>(k))) << k;
        EXPECT_EQ(frames[k].info.frameSequence, k);
        if (k > 0) {
            EXPECT_EQ(frames[k].info.readyTimeNs - frames[k - 1].info.readyTimeNs, kFrame2Ns)
                << "frames at the file's own pace";
        }
    }
    EXPECT_EQ(Counters().framesProduced, 10u);

    // A new session plays the recording from its start again.
    Stop();
    Start();
    const std::vector<Collected> again = CollectFrames(1, std::chrono::seconds(1));
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].values, ExpectedFrame(recording, 0));
}

TEST_F(ReplayTest, LoopsAndBeginsWhereTheProfileSays) {
    const std::string path = TempPath("loop.bdf");
    const TestRecording recording = VddHostStyle(1);  // 4 frames
    WriteRecording(path, recording);
    std::string error;
    ASSERT_TRUE(LoadText("{\"replay\": \"" + path + "\", \"loop\": true, \"from\": 0.054}", error))
        << error;
    BeginSession();
    const std::vector<Collected> frames = CollectFrames(5, std::chrono::seconds(2));
    ASSERT_EQ(frames.size(), 5u);
    // From 54 ms: frames 2 and 3, then around again from frame 2.
    const int64_t expected[] = {2, 3, 2, 3, 2};
    for (size_t k = 0; k < frames.size(); ++k) {
        EXPECT_EQ(frames[k].values, ExpectedFrame(recording, expected[k])) << k;
    }

    ASSERT_FALSE(LoadText("{\"replay\": \"" + path + "\", \"from\": 0.108}", error));
    EXPECT_NE(error.find("\"from\": 0.1080 s lies at or after the end of its 0.1080 s of data"),
              std::string::npos)
        << error;
}

TEST_F(ReplayTest, ForeignFilesGroupByTheDocumentedRuleAndOddRatesAreRefused) {
    // An EDF file from elsewhere: 1-s records at 1000 Hz, millivolts and
    // microvolts, one label used twice.
    const std::string path = TempPath("foreign.edf");
    TestRecording recording;
    recording.bdf = false;
    recording.plus = false;
    recording.recordSeconds = "1";
    recording.records = 1;
    const auto signal = [](const char* label, const char* dimension, int32_t perRecord) {
        TestSignal s;
        s.label = label;
        s.dimension = dimension;
        s.physicalMin = "-100";
        s.physicalMax = "100";
        s.samplesPerRecord = perRecord;
        return s;
    };
    recording.signals = {signal("ACC1 X", "mV", 1000), signal("ACC1 Y", "mV", 1000),
                         signal("EMG", "uV", 1000), signal("EMG", "degC", 1000)};
    WriteRecording(path, recording);
    std::string error;

    // 1000 Hz gives 13.5 samples a 13.5 ms frame: refused, with the fix.
    ASSERT_FALSE(LoadFile(path, error));
    EXPECT_NE(error.find("recording " + path + ": signal 1 \"ACC1 X\" at 1000 Hz"),
              std::string::npos)
        << error;
    EXPECT_NE(error.find("frameMultiple 2 carries every signal"), std::string::npos) << error;
    VarnixMetadataBuf pb{};
    EXPECT_EQ(Initialize(pb), nullptr) << "a refused replay answers like no station";

    // One sensor per signal by default, named by the label.
    ASSERT_TRUE(LoadText("{\"replay\": \"" + path + "\", \"frameMultiple\": 2}", error)) << error;
    ASSERT_EQ(Items(Initialize(pb)).size(), 4u);
    EXPECT_STREQ(Info("s01.c1+1", 3), "ACC1 X");
    EXPECT_STREQ(Info("s01.c1", 0), "ACC1 X");
    EXPECT_STREQ(Info("s01.c1+1", 0), "ACC1 X");
    EXPECT_STREQ(Info("s04.c1+1", 3), "EMG (signal 4)") << "a label used before";
    EXPECT_STREQ(Info("s01.c1+1", 2), "VOLTS") << "mV in volts";
    EXPECT_STREQ(Info("s03.c1+1", 2), "VOLTS") << "uV in volts";
    EXPECT_STREQ(Info("s04.c1+1", 2), "Celsius");
    EXPECT_EQ(VarnixSim_SamplesPerFrame(0), 27);
    BeginSession();
    const std::vector<Collected> frames = CollectFrames(1, std::chrono::seconds(1));
    ASSERT_EQ(frames.size(), 1u);
    const TestSignal& acc = recording.signals[0];
    const TestSignal& emg = recording.signals[2];
    EXPECT_FLOAT_EQ(frames[0].values[5], static_cast<float>(PhysicalOf(acc, 5, false) * 1e-3));
    EXPECT_FLOAT_EQ(frames[0].values[2 * 27 + 5],
                    static_cast<float>(PhysicalOf(emg, 5, false) * 1e-6));

    // By label: the last word is the component.
    ASSERT_TRUE(LoadText(
        "{\"replay\": \"" + path + "\", \"frameMultiple\": 2, \"group\": \"label\"}", error))
        << error;
    ASSERT_EQ(VarnixSim_SensorCount(), 3u);
    EXPECT_STREQ(Info("s01.c1+1", 3), "ACC1");
    EXPECT_STREQ(Info("s01.c1", 0), "ACC1");
    EXPECT_STREQ(Info("s01.c1+2", 0), "Y");
    EXPECT_EQ(VarnixSim_StreamCount(0), 2);

    // A sensor's signals share one rate.
    recording.signals[1].samplesPerRecord = 2000;
    WriteRecording(path, recording);
    ASSERT_FALSE(LoadText(
        "{\"replay\": \"" + path + "\", \"frameMultiple\": 2, \"group\": \"label\"}", error));
    EXPECT_NE(error.find("signal 2 \"ACC1 Y\" (2000 Hz) and signal 1 \"ACC1 X\" (1000 Hz) both "
                         "belong to sensor \"ACC1\""),
              std::string::npos)
        << error;
}

TEST_F(ReplayTest, BrokenFilesAreRefusedWithTheByteOffset) {
    const std::string path = TempPath("broken.bdf");
    const TestRecording good = VddHostStyle(2);
    struct Case {
        const char* what;
        std::function<void(TestRecording&)> change;
        std::string expected;
    };
    // Signal header fields start at 256; with 4 signals (3 + annotations)
    // the digital maxima start at 256 + 4 x (16 + 80 + 8 + 8 + 8 + 8).
    const size_t digitalMaxAt = 256 + 4 * (16 + 80 + 8 + 8 + 8 + 8);
    const std::vector<Case> cases = {
        {"record count", [](TestRecording& r) { r.announcedRecords = "2x"; },
         "byte 236 (number of data records): expected a whole number, or -1 when unknown, got "
         "\"2x      \""},
        {"record duration", [](TestRecording& r) { r.recordSeconds = "0"; },
         "byte 244 (duration of a data record): expected a positive number of seconds"},
        {"digital maximum", [](TestRecording& r) { r.signals[1].digitalMax = -8388608; },
         "byte " + std::to_string(digitalMaxAt + 8) +
             " (signal 2 \"EMG 1 ACC X\" digital maximum): expected a whole number from -8388608 "
             "to 8388607, above the digital minimum"},
        {"annotation list",
         [](TestRecording& r) {
             r.annotations = {{0, -1, "", "0.1\x14no sign\x14"}};
         },
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestRecording recording = good;
        c.change(recording);
        const WrittenLayout layout = WriteRecording(path, recording);
        std::string error;
        ASSERT_FALSE(LoadFile(path, error));
        std::string expected = c.expected;
        if (expected.empty()) {
            // The list after record 0's time-keeping list ("+0.0000\x14\x14\0", 10 bytes).
            expected = "byte " + std::to_string(layout.headerBytes + layout.annotationOffset + 10) +
                       ": annotation list: expected an onset such as +1.25";
        }
        EXPECT_NE(error.find("recording " + path + ": " + expected), std::string::npos) << error;
        VarnixMetadataBuf pb{};
        EXPECT_EQ(Initialize(pb), nullptr);
    }

    // Not an EDF or BDF file at all, and a file cut inside its header.
    std::string error;
    WriteRecording(path, good);
    std::filesystem::resize_file(path, 700);
    ASSERT_FALSE(LoadFile(path, error));
    EXPECT_NE(error.find("the file ends at byte 700, inside the signal headers (4 signals: the "
                         "header ends at byte 1280)"),
              std::string::npos)
        << error;
    ASSERT_FALSE(LoadText("{\"replay\": \"" + TempPath("missing.bdf") + "\"}", error));
    EXPECT_NE(error.find("expected a readable EDF or BDF file, got No such file"),
              std::string::npos)
        << error;
}

TEST_F(ReplayTest, AnnotationTimesFarOutsideTheDataChangeNothing) {
    // Guards against an onset of 1e23 s overflowing the frame count or a pulse time.
    const std::string path = TempPath("far.bdf");
    TestRecording recording = VddHostStyle(1);  // 4 frames
    recording.annotations = {
        {0, -1, "", "+99999999999999999999999\x14recording ends; padding follows\x14"},
        {0, -1, "", "+99999999999999999999999\x14start pulse\x14"},
        {0, -1, "", "-99999999999999999999999\x14stop pulse\x14"}};
    WriteRecording(path, recording);
    std::string error;
    ASSERT_TRUE(LoadFile(path, error)) << error;
    BeginSession();
    EXPECT_EQ(CollectFrames(5, std::chrono::milliseconds(400)).size(), 4u);
    EXPECT_EQ(VarnixSim_PulseCount(), 0u) << "pulses beyond the file's records are never reached";
}

TEST_F(ReplayTest, AStopPulseAfterTheLastFrameStillReachesTheInput) {
    // Guards against dropping the stop pulse that ended a recording's data: it
    // comes after the last frame, up to a frame later.
    const std::string path = TempPath("stopped.bdf");
    TestRecording recording = VddHostStyle(1);
    recording.annotations = {{0.054, 0.054, "recording ends; padding follows", ""},
                             {0.06, -1, "stop pulse", ""}};
    WriteRecording(path, recording);
    std::string error;
    ASSERT_TRUE(LoadFile(path, error)) << error;
    BeginSession();
    EXPECT_EQ(CollectFrames(3, std::chrono::milliseconds(300)).size(), 2u);
    ASSERT_EQ(VarnixSim_PulseCount(), 1u);
    VarnixSimPulse stop{};
    ASSERT_EQ(VarnixSim_GetPulse(0, &stop), 1);
    EXPECT_EQ(stop.input, VARNIX_SIM_STOP_INPUT);
}

TEST_F(ReplayTest, TruncatedFilesReplayTheirWholeRecordsAndAreNeverReadPastTheirEnd) {
    const std::string path = TempPath("truncated.bdf");
    const TestRecording recording = VddHostStyle(3);
    const WrittenLayout layout = WriteRecording(path, recording);
    // Cut inside record 2: records 0 and 1 (8 frames) remain whole.
    std::filesystem::resize_file(path, layout.headerBytes + 2 * layout.recordBytes + 100);
    std::string error;
    ASSERT_TRUE(LoadFile(path, error)) << error;
    BeginSession();
    std::vector<Collected> frames = CollectFrames(9, std::chrono::milliseconds(600));
    ASSERT_EQ(frames.size(), 8u);
    EXPECT_EQ(frames.back().values, ExpectedFrame(recording, 7));

    // The file shrinks while it plays: the replay ends at the missing
    // record instead of reading beyond the file's end. Records of 1.08 s
    // (40 frames each) leave a second to cut the file before record 1 is
    // read.
    const TestRecording longer = VddHostStyle(3, /*longRecords=*/true);
    const WrittenLayout longLayout = WriteRecording(path, longer);
    ASSERT_TRUE(LoadFile(path, error)) << error;
    BeginSession();
    frames = CollectFrames(1, std::chrono::seconds(1));
    ASSERT_EQ(frames.size(), 1u);
    std::filesystem::resize_file(path, longLayout.headerBytes + longLayout.recordBytes);
    frames = CollectFrames(60, std::chrono::milliseconds(1500));
    ASSERT_EQ(frames.size(), 39u) << "the rest of record 0, then nothing";
    EXPECT_EQ(frames.back().values, ExpectedFrame(longer, 39));

    // A record count of -1 (never closed): the whole records there are.
    TestRecording open = recording;
    open.announcedRecords = "-1";
    WriteRecording(path, open);
    ASSERT_TRUE(LoadFile(path, error)) << error;
    BeginSession();
    EXPECT_EQ(CollectFrames(13, std::chrono::milliseconds(700)).size(), 12u);
}

TEST_F(ReplayTest, PulsesFromTheAnnotationsDriveTheTriggerInputs) {
    const std::string path = TempPath("pulses.bdf");
    TestRecording recording = VddHostStyle(2);  // 8 frames of 27 ms
    recording.annotations = {{0.054, -1, "start pulse", ""}, {0.15, -1, "stop pulse", ""}};
    WriteRecording(path, recording);
    std::string error;
    ASSERT_TRUE(LoadFile(path, error)) << error;

    // Both inputs on: the frames begin at the start pulse, 54 ms after the
    // start, and end at the stop pulse, 150 ms after the first frame began.
    const int64_t before = NowNs();
    BeginSession(/*startInput=*/true, /*stopInput=*/true);
    const int64_t after = NowNs();
    const std::vector<Collected> frames = CollectFrames(8, std::chrono::milliseconds(800));
    ASSERT_EQ(frames.size(), 5u) << "frames ready by 150 ms: 5 of 27 ms";
    EXPECT_EQ(frames[0].values, ExpectedFrame(recording, 0));
    ASSERT_EQ(VarnixSim_PulseCount(), 2u);
    VarnixSimPulse start{}, stop{};
    ASSERT_EQ(VarnixSim_GetPulse(0, &start), 1);
    ASSERT_EQ(VarnixSim_GetPulse(1, &stop), 1);
    EXPECT_EQ(start.input, VARNIX_SIM_START_INPUT);
    EXPECT_EQ(start.source, VARNIX_SIM_PULSE_FROM_RECORDING);
    EXPECT_GE(start.timeNs, before + 54 * kMs);
    EXPECT_LE(start.timeNs, after + 54 * kMs);
    EXPECT_EQ(frames[0].info.readyTimeNs, start.timeNs + kFrame2Ns);
    EXPECT_EQ(stop.input, VARNIX_SIM_STOP_INPUT);
    EXPECT_EQ(stop.timeNs, start.timeNs + 150 * kMs);

    // Inputs off: the pulses come and are logged, the frames ignore them.
    Stop();
    Configure(false, false);
    Start();
    EXPECT_EQ(CollectFrames(9, std::chrono::milliseconds(700)).size(), 8u);
    EXPECT_EQ(VarnixSim_PulseCount(), 4u);
    VarnixSimPulse control{};
    VarnixSim_StartPulse();
    ASSERT_EQ(VarnixSim_GetPulse(4, &control), 1);
    EXPECT_EQ(control.source, VARNIX_SIM_PULSE_FROM_CONTROL);
}

TEST_F(ReplayTest, InjectedFaultsWorkOnAReplayedSession) {
    const std::string path = TempPath("faults.bdf");
    const TestRecording recording = VddHostStyle(10);  // 40 frames of 27 ms
    WriteRecording(path, recording);
    std::string error;
    ASSERT_TRUE(LoadText("{\"replay\": \"" + path + "\", \"queueCapacity\": 2}", error)) << error;
    BeginSession();
    ASSERT_EQ(CollectFrames(2, std::chrono::seconds(1)).size(), 2u);

    // Failed polls: the recording goes on, the full queue drops the oldest.
    VarnixSim_FailPollsFor(150);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::vector<Collected> frames = CollectFrames(3, std::chrono::seconds(1));
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_GE(Counters().framesDropped, 3u);
    for (const Collected& frame : frames) {
        EXPECT_EQ(frame.values,
                  ExpectedFrame(recording, static_cast<int64_t>(frame.info.frameSequence)))
            << "a dropped frame takes its samples with it; the next holds its own";
    }

    // Bad answers and a disconnect, as on a simulated session.
    VarnixSim_FaultAnswer(nullptr, 3, 0);
    EXPECT_EQ(Info("s01.c1+1", 3), nullptr);
    VarnixSim_ClearFaults();
    EXPECT_STREQ(Info("s01.c1+1", 3), "EMG 1");
    VarnixSim_DisconnectAfter(0);
    EXPECT_EQ(PollFor(1, std::chrono::milliseconds(100)), 0u);
    VarnixSim_Reconnect();
    frames = CollectFrames(1, std::chrono::seconds(1));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].values,
              ExpectedFrame(recording, static_cast<int64_t>(frames[0].info.frameSequence)));
}
