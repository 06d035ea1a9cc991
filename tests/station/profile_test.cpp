// Profiles: the shipped files load, the embedded default is the file, every
// refusal names the file, the field path and what was expected, and a
// refused profile leaves a station that answers like one not connected.
#include "station_client.h"

#include "catalogue/catalogue_build.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <sstream>

using varnix::CatalogueBuildResult;
using varnix::GroupItems;
using varnix::QueryItems;
using varnix::SensorCatalogue;
using varnix::SensorRecord;
using varnix::StationAnswerSource;

using namespace station_test;

namespace {

std::string SourceDir() {
    const char* dir = std::getenv("VARNIX_SOURCE_DIR");
    return dir != nullptr ? dir : ".";
}

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The station's answers, fetched through the C ABI like the plug-in does.
class AbiAnswers : public StationAnswerSource {
public:
    const char* InfoRequest(const char* id, int code) override { return Info(id, code); }
};

// What the plug-in's own catalogue build makes of the station's answers.
SensorCatalogue CatalogueFromStation(VarnixMetadataBuf& pb) {
    AbiAnswers answers;
    const CatalogueBuildResult result = QueryItems(Initialize(pb), answers);
    EXPECT_TRUE(result.ok) << result.failure;
    return GroupItems(result, pb.sampleRates);
}

std::string Expanded(std::string name, int n) {
    const size_t at = name.find("{n}");
    if (at != std::string::npos) name.replace(at, 3, std::to_string(n));
    return name;
}

// Checks the catalogue against the profile JSON, sensor by sensor.
void ExpectCatalogueIsProfile(const SensorCatalogue& catalogue, int32_t frameMultiple,
                              const nlohmann::json& profile) {
    EXPECT_EQ(frameMultiple, profile.value("frameMultiple", 1));
    size_t s = 0;
    for (const auto& entry : profile["sensors"]) {
        for (int n = 1; n <= entry.value("count", 1); ++n, ++s) {
            ASSERT_LT(s, catalogue.size());
            const SensorRecord& sensor = catalogue[s];
            EXPECT_EQ(sensor.name, Expanded(entry["name"], n));
            EXPECT_EQ(sensor.sampleRate, entry["rate"].get<double>());
            ASSERT_EQ(sensor.channels.size(), entry["channels"].size()) << sensor.name;
            int32_t streams = 0;
            for (size_t c = 0; c < sensor.channels.size(); ++c) {
                const auto& channel = entry["channels"][c];
                EXPECT_EQ(sensor.channels[c].name, channel["name"]);
                EXPECT_EQ(sensor.channels[c].unitText, channel["unit"]);
                EXPECT_EQ(sensor.channels[c].componentNames,
                          channel["components"].get<std::vector<std::string>>());
                streams += static_cast<int32_t>(channel["components"].size());
            }
            EXPECT_EQ(sensor.streamCount, streams);
            EXPECT_EQ(VarnixSim_StreamCount(s), streams);
        }
    }
    EXPECT_EQ(catalogue.size(), s);
    EXPECT_EQ(VarnixSim_SensorCount(), s);
}

const char* kShippedProfiles[] = {"default.json",   "sensors1.json",   "sensors16.json",
                                  "sensors64.json", "sensors128.json", "ramp4.json",
                                  "jitter16.json",  "drift16.json"};

}  // namespace

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("VARNIX_STATION_PROFILE");
        VarnixSim_Reset();
    }
    void TearDown() override {
        unsetenv("VARNIX_STATION_PROFILE");
        VarnixSim_Reset();
    }
};

TEST_F(ProfileTest, EmbeddedDefaultIsTheShippedFile) {
    EXPECT_EQ(std::string(VarnixSim_DefaultProfileText()),
              ReadText(SourceDir() + "/profiles/default.json"));
}

TEST_F(ProfileTest, EveryShippedProfileGivesTheCatalogueItDescribes) {
    for (const char* name : kShippedProfiles) {
        SCOPED_TRACE(name);
        const std::string path = SourceDir() + "/profiles/" + name;
        char error[512] = "x";
        ASSERT_EQ(VarnixSim_LoadProfileFile(path.c_str(), error, sizeof error), 0) << error;
        EXPECT_STREQ(error, "");
        EXPECT_EQ(LastError(), "");
        VarnixMetadataBuf pb{};
        const SensorCatalogue catalogue = CatalogueFromStation(pb);
        ExpectCatalogueIsProfile(catalogue, pb.frameMultiple,
                                 nlohmann::json::parse(ReadText(path)));
    }
}

TEST_F(ProfileTest, WithoutTheVariableTheDefaultIsUsed) {
    VarnixMetadataBuf pb{};
    const SensorCatalogue catalogue = CatalogueFromStation(pb);
    ExpectCatalogueIsProfile(catalogue, pb.frameMultiple,
                             nlohmann::json::parse(VarnixSim_DefaultProfileText()));
    ASSERT_EQ(catalogue.size(), 8u);
    EXPECT_EQ(catalogue[0].name, "EMG 1");
    EXPECT_EQ(catalogue[0].channels[1].componentNames[2], "ACC Z");
}

TEST_F(ProfileTest, TheVariableNamesTheProfileReadAtTheFirstCall) {
    const std::string path = SourceDir() + "/profiles/sensors16.json";
    setenv("VARNIX_STATION_PROFILE", path.c_str(), 1);
    VarnixSim_Reset();
    EXPECT_EQ(VarnixSim_SensorCount(), 16u);
    EXPECT_EQ(VarnixSim_SamplesPerFrame(0), 27);  // 2000 Hz
    EXPECT_EQ(VarnixSim_SamplesPerFrame(15), 5);  // 370.37 Hz
    EXPECT_EQ(VarnixSim_StreamCount(15), 6);
}

TEST_F(ProfileTest, RefusalsNameTheFieldAndWhatWasExpected) {
    const auto sensor = [](const char* name) {
        return std::string(R"({"name":")") + name +
               R"(","rate":2000,"channels":[{"name":"EMG","unit":"VOLTS","components":["x"],"signal":"emg"}]})";
    };
    // Three good sensors, then the one under test at sensors[3].
    const auto withSensors = [&](const std::string& fourth) {
        return R"({"sensors":[)" + sensor("A") + "," + sensor("B") + "," + sensor("C") + "," +
               fourth + "]}";
    };
    const struct {
        std::string json;
        std::string message;
    } cases[] = {
        {withSensors(R"({"name":"D","rate":-1,"channels":[]})"),
         "station profile (text): sensors[3].rate: expected a positive number, got -1"},
        {withSensors(
             R"({"name":"D","rate":2000,"channels":[{"name":"E","unit":"V","components":["a",5],"signal":"emg"}]})"),
         "station profile (text): sensors[3].channels[0].components[1]: expected a text, got 5"},
        {withSensors(R"({"name":"D","rte":2000})"), "sensors[3].rte: expected one of the fields"},
        {withSensors(
             R"({"name":"D","rate":2000,"channels":[{"name":"E","unit":"V","components":["a"],"signal":"noise"}]})"),
         "sensors[3].channels[0].signal: expected one of \"emg\""},
        {withSensors(sensor("B")),
         "sensors[3].name: expected a sensor name used by no other sensor"},
        {withSensors(R"({"name":"D","rate":10,"channels":[]})"),
         "sensors[3].rate: expected a rate with a whole number of samples (at least one) per frame "
         "of 1 x 13.5 ms, "
         "within 0.01 Hz (a station delivers whole samples per frame; 74.07 or more would do), got "
         "10"},
        {R"({"frameMultiple":0,"sensors":[]})", "frameMultiple: expected a whole number from 1"},
        {R"({"sensors":{}})", "sensors: expected a list of sensors, got {}"},
        {R"({"seed":1})", "sensors: expected a value, got nothing"},
        {R"({"sensors":[)", "(document): expected valid JSON"},
        {R"({"burstEvery":1,"sensors":[]})", "burstEvery: expected a whole number from 2"},
        {R"({"deliveryJitterMs":-0.5,"sensors":[]})",
         "deliveryJitterMs: expected a number from 0 to 1000, got -0.5"},
        {R"({"clockDriftPpm":"fast","sensors":[]})",
         "clockDriftPpm: expected a number from -100000 to 100000"},
        {R"({"clockDriftStep":{"afterMs":5000,"pm":-200},"sensors":[]})",
         "clockDriftStep.pm: expected one of the fields afterMs, ppm"},
        {R"({"clockDriftStep":{"afterMs":5000},"sensors":[]})",
         "clockDriftStep.ppm: expected a value, got nothing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        char error[512] = "";
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(VarnixSim_LoadProfileText(c.json.c_str(), error, sizeof error), -1);
        const std::string printed = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(std::string(error).find(c.message), std::string::npos) << error;
        EXPECT_EQ(printed, std::string(error) + "\n");  // one line, printed once
        EXPECT_EQ(LastError(), error);
    }
}

TEST_F(ProfileTest, RefusedProfileAnswersLikeAStationNotConnected) {
    const std::string path = SourceDir() + "/tests/station/no_such_profile.json";
    setenv("VARNIX_STATION_PROFILE", path.c_str(), 1);
    ::testing::internal::CaptureStderr();
    VarnixSim_Reset();
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("station profile " + path + ": "), std::string::npos) << printed;

    VarnixMetadataBuf pb{};
    EXPECT_EQ(Initialize(pb), nullptr);
    EXPECT_EQ(Info("s01.c1+1", 3), nullptr);
    Configure(false, false);
    Start();
    EXPECT_EQ(PollFor(1, std::chrono::milliseconds(60)), 0u);
    EXPECT_EQ(VarnixSim_SensorCount(), 0u);
    EXPECT_NE(LastError(), "");

    // A good profile afterwards brings the station back.
    unsetenv("VARNIX_STATION_PROFILE");
    VarnixSim_Reset();
    EXPECT_EQ(LastError(), "");
    EXPECT_NE(Initialize(pb), nullptr);
}

// Guards against a station that rounds its own way (and so hides a plug-in
// that rounds wrongly): a frame carries whole samples only, a rate written
// to two decimals counts as the whole rate it stands for, and any other rate
// is refused instead of rounded.
TEST_F(ProfileTest, FramesCarryWholeSamplesAndOtherRatesAreRefused) {
    const auto load = [](int frameMultiple, const char* rate) {
        const std::string json =
            R"({"frameMultiple":)" + std::to_string(frameMultiple) +
            R"(,"sensors":[{"name":"A","rate":)" + rate +
            R"(,"channels":[{"name":"EMG","unit":"VOLTS","components":["x"],"signal":"emg"}]}]})";
        char error[512] = "";
        ::testing::internal::CaptureStderr();
        const int result = VarnixSim_LoadProfileText(json.c_str(), error, sizeof error);
        ::testing::internal::GetCapturedStderr();
        return std::make_pair(result == 0 ? VarnixSim_SamplesPerFrame(0) : -1, std::string(error));
    };
    struct Case {
        int frameMultiple;
        const char* rate;
        int32_t samples;  // -1: refused
    };
    const Case cases[] = {
        {1, "2000", 27},    {3, "2000", 81},   {1, "370.37", 5}, {2, "370.37", 10},
        {1, "1925.93", 26}, {2, "1000", 27},   {1, "1000", -1},  {3, "1000", -1},
        {2, "1000.02", -1}, {1, "74.0741", 1}, {1, "74", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("F ") + std::to_string(c.frameMultiple) + ", rate " + c.rate);
        const auto [samples, error] = load(c.frameMultiple, c.rate);
        EXPECT_EQ(samples, c.samples) << error;
    }
    // The refusal says which rates would do.
    const std::string error = load(1, "1000").second;
    EXPECT_NE(error.find("sensors[0].rate: expected a rate with a whole number of samples"),
              std::string::npos)
        << error;
    EXPECT_NE(error.find("962.96 or 1037.04 would do"), std::string::npos) << error;
}
