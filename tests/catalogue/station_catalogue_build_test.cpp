// BuildSensorCatalogue through the real bridge against the simulated station
// in script mode: the station sees exactly the calls the catalogue needs, in
// order, and a station that stops answering leaves nothing published.
#include "catalogue/station_catalogue_build.h"
#include "contract/station_control.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using varnix::BuildSensorCatalogue;
using varnix::SensorCatalogue;

namespace {

using Strings = std::vector<std::string>;

// The station's control exports, from the same library file the bridge
// loads (beside this executable), so both see one station.
struct StationControl {
    void (*reset)();
    void (*scriptItemList)(const char*);
    void (*scriptFrameMultiple)(int32_t);
    void (*scriptRates)(const double*, size_t);
    void (*scriptAnswer)(const char*, int32_t, const char*);
    size_t (*callCount)();
    int (*getCall)(size_t, VarnixSimCall*);
    void (*clearCalls)();
};

// The folder the bridge looks in first: the one that holds this program,
// which links the plug-in's code.
std::string BinFolder() {
    return varnix::platform::ThisModuleFolder();
}

template <typename Fn>
void Bind(void* library, const char* name, Fn& out) {
    out = reinterpret_cast<Fn>(varnix::platform::LibrarySymbol(library, name));
    ASSERT_NE(out, nullptr) << "station library lacks " << name;
}

class StationCatalogueBuild : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string path = BinFolder() + varnix::platform::kStationLibraryFile;
        std::string why;
        library_ = varnix::platform::OpenLibrary(path, why);
        ASSERT_NE(library_, nullptr) << "cannot load " << path << ": " << why;
        Bind(library_, "VarnixSim_Reset", station_.reset);
        Bind(library_, "VarnixSim_ScriptItemList", station_.scriptItemList);
        Bind(library_, "VarnixSim_ScriptFrameMultiple", station_.scriptFrameMultiple);
        Bind(library_, "VarnixSim_ScriptRates", station_.scriptRates);
        Bind(library_, "VarnixSim_ScriptAnswer", station_.scriptAnswer);
        Bind(library_, "VarnixSim_CallCount", station_.callCount);
        Bind(library_, "VarnixSim_GetCall", station_.getCall);
        Bind(library_, "VarnixSim_ClearCalls", station_.clearCalls);
        station_.reset();
    }
    void TearDown() override {
        if (library_ != nullptr) {
            station_.reset();
            // Stays loaded: the bridge holds it too, and the station keeps its
            // state in the library for the rest of the process.
        }
    }

    // Every logged call as "function(arguments)".
    Strings Calls() {
        Strings calls;
        VarnixSimCall call;
        for (size_t i = 0; station_.getCall(i, &call) == 1; ++i) {
            calls.push_back(std::string(call.function) + "(" + call.arguments + ")");
        }
        return calls;
    }

    void ScriptWorkedExample() {
        station_.scriptItemList("A+1|A+2|B+1|C+1|");
        station_.scriptFrameMultiple(2);
        const double rates[] = {2000, 2000, 150, 2000};
        station_.scriptRates(rates, 4);
        const char* answers[][3] = {
            {"A+1", "VOLTS", "emg 1"},
            {"A+2", "VOLTS", "emg 2"},
            {"B+1", "g", "acc x"},
            {"C+1", "VOLTS", "emg 1"},
        };
        for (const auto& a : answers) {
            station_.scriptAnswer(a[0], 2, a[1]);
            station_.scriptAnswer(a[0], 0, a[2]);
            station_.scriptAnswer(a[0], 3, a[0][0] == 'C' ? "s9" : "s7");
        }
        station_.scriptAnswer("A", 0, "emg");
        station_.scriptAnswer("B", 0, "acc");
        station_.scriptAnswer("C", 0, "emg");
    }

    void* library_ = nullptr;
    StationControl station_{};
};

TEST_F(StationCatalogueBuild, WorkedExampleThroughTheBridge) {
    ScriptWorkedExample();
    station_.clearCalls();

    VarnixMetadataBuf metadata;
    std::memset(&metadata, 0xAB, sizeof metadata);  // left over from an earlier build
    SensorCatalogue catalogue(1);                   // an earlier catalogue
    std::string failure = "stale";
    ASSERT_TRUE(BuildSensorCatalogue(metadata, catalogue, failure)) << failure;
    EXPECT_TRUE(failure.empty());

    EXPECT_EQ(Calls(), (Strings{"initialize(2,1)", "infoRequest(A+1,2)", "infoRequest(A,0)",
                                "infoRequest(A+1,0)", "infoRequest(A+1,3)", "infoRequest(A+2,2)",
                                "infoRequest(A+2,0)", "infoRequest(A+2,3)", "infoRequest(B+1,2)",
                                "infoRequest(B,0)", "infoRequest(B+1,0)", "infoRequest(B+1,3)",
                                "infoRequest(C+1,2)", "infoRequest(C,0)", "infoRequest(C+1,0)",
                                "infoRequest(C+1,3)"}));
    EXPECT_EQ(metadata.frameMultiple, 2);
    // The station writes only frameMultiple and the rates: the rest stays as
    // the build left it before the call, zero.
    for (uint8_t byte : metadata.reserved) {
        EXPECT_EQ(byte, 0);
    }
    ASSERT_EQ(catalogue.size(), 2u);
    EXPECT_EQ(catalogue[0].name, "s7");
    EXPECT_EQ(catalogue[0].streamCount, 3);
    EXPECT_EQ(catalogue[0].sampleRate, 2000.0);
    ASSERT_EQ(catalogue[0].channels.size(), 2u);
    EXPECT_EQ(catalogue[0].channels[1].componentNames, (Strings{"acc x"}));
    EXPECT_EQ(catalogue[1].name, "s9");
    EXPECT_EQ(catalogue[1].streamCount, 1);
}

TEST_F(StationCatalogueBuild, EmptyListReplacesThePreviousCatalogue) {
    ScriptWorkedExample();
    VarnixMetadataBuf metadata{};
    SensorCatalogue catalogue;
    std::string failure;
    ASSERT_TRUE(BuildSensorCatalogue(metadata, catalogue, failure));
    ASSERT_EQ(catalogue.size(), 2u);

    station_.scriptItemList("");
    EXPECT_TRUE(BuildSensorCatalogue(metadata, catalogue, failure)) << failure;
    EXPECT_TRUE(catalogue.empty());
}

TEST_F(StationCatalogueBuild, UnansweredStationLeavesNothingPublished) {
    ScriptWorkedExample();
    VarnixMetadataBuf metadata{};
    SensorCatalogue catalogue;
    std::string failure;
    ASSERT_TRUE(BuildSensorCatalogue(metadata, catalogue, failure));

    station_.scriptAnswer("B", 0, nullptr);
    station_.clearCalls();
    EXPECT_FALSE(BuildSensorCatalogue(metadata, catalogue, failure));
    EXPECT_TRUE(catalogue.empty());
    EXPECT_NE(failure.find("information request 0 for group \"B\""), std::string::npos) << failure;
    // Nothing is asked after the unanswered request.
    EXPECT_EQ(Calls().back(), "infoRequest(B,0)");

    ScriptWorkedExample();
    ASSERT_TRUE(BuildSensorCatalogue(metadata, catalogue, failure));
    station_.scriptItemList(nullptr);
    EXPECT_FALSE(BuildSensorCatalogue(metadata, catalogue, failure));
    EXPECT_TRUE(catalogue.empty());
    EXPECT_NE(failure.find("no item list"), std::string::npos) << failure;
}

}  // namespace
