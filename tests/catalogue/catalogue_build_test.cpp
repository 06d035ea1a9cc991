#include "catalogue/catalogue_build.h"
#include "tests/catalogue/fake_station_answers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using varnix::CatalogueBuildResult;
using varnix::GroupItems;
using varnix::QueryItems;
using varnix::SensorCatalogue;
using varnix::SensorRecord;

namespace {

using Strings = std::vector<std::string>;

// Answers (item, 2), (group, 0), (item, 0) and (item, 3) for one item.
void AnswerItem(FakeStationAnswers& station, const std::string& item, const std::string& unit,
                const std::string& component, const std::string& sensor) {
    station.Answer(item, 2, unit);
    station.Answer(item, 0, component);
    station.Answer(item, 3, sensor);
}

SensorCatalogue Build(const char* list, FakeStationAnswers& station,
                      const std::vector<double>& rates) {
    const CatalogueBuildResult result = QueryItems(list, station);
    EXPECT_TRUE(result.ok) << result.failure;
    EXPECT_LE(result.positionCount, rates.size());
    return GroupItems(result, rates.data());
}

TEST(CatalogueBuild, WorkedExampleAsksInOrderAndGroupsBySensorAndChannel) {
    FakeStationAnswers station;
    AnswerItem(station, "A+1", "VOLTS", "emg 1", "s7");
    AnswerItem(station, "A+2", "VOLTS", "emg 2", "s7");
    AnswerItem(station, "B+1", "g", "acc x", "s7");
    AnswerItem(station, "C+1", "VOLTS", "emg 1", "s9");
    station.Answer("A", 0, "emg");
    station.Answer("B", 0, "acc");
    station.Answer("C", 0, "emg");

    const SensorCatalogue catalogue = Build("A+1|A+2|B+1|C+1|", station, {2000, 2000, 150, 2000});

    EXPECT_EQ(station.asked,
              (Strings{"A+1,2", "A,0", "A+1,0", "A+1,3", "A+2,2", "A+2,0", "A+2,3", "B+1,2", "B,0",
                       "B+1,0", "B+1,3", "C+1,2", "C,0", "C+1,0", "C+1,3"}));
    ASSERT_EQ(catalogue.size(), 2u);
    const SensorRecord& s7 = catalogue[0];
    EXPECT_EQ(s7.name, "s7");
    EXPECT_EQ(s7.sampleRate, 2000.0);
    EXPECT_EQ(s7.streamCount, 3);
    ASSERT_EQ(s7.channels.size(), 2u);
    EXPECT_EQ(s7.channels[0].name, "emg");
    EXPECT_EQ(s7.channels[0].unitText, "VOLTS");
    EXPECT_EQ(s7.channels[0].componentNames, (Strings{"emg 1", "emg 2"}));
    EXPECT_EQ(s7.channels[1].name, "acc");
    EXPECT_EQ(s7.channels[1].unitText, "g");
    EXPECT_EQ(s7.channels[1].componentNames, (Strings{"acc x"}));
    const SensorRecord& s9 = catalogue[1];
    EXPECT_EQ(s9.name, "s9");
    EXPECT_EQ(s9.sampleRate, 2000.0);
    EXPECT_EQ(s9.streamCount, 1);
    ASSERT_EQ(s9.channels.size(), 1u);
    EXPECT_EQ(s9.channels[0].name, "emg");
    EXPECT_EQ(s9.channels[0].componentNames, (Strings{"emg 1"}));
}

TEST(CatalogueBuild, InterleavedSensorsKeepFirstRateFirstUnitAndOwnChannels) {
    FakeStationAnswers station;
    AnswerItem(station, "A+1", "VOLTS", "emg 1", "s7");
    AnswerItem(station, "B+1", "VOLTS", "emg 1", "s9");
    AnswerItem(station, "A+2", "MILLIVOLTS", "emg 2", "s7");
    station.Answer("A", 0, "emg");
    station.Answer("B", 0, "emg");

    // s7's later item has another rate and another unit; neither is taken.
    const SensorCatalogue catalogue = Build("A+1|B+1|A+2|", station, {1000, 2000, 3000});

    // A comes back after B, so its group is asked about again.
    EXPECT_EQ(station.asked, (Strings{"A+1,2", "A,0", "A+1,0", "A+1,3", "B+1,2", "B,0", "B+1,0",
                                      "B+1,3", "A+2,2", "A,0", "A+2,0", "A+2,3"}));
    ASSERT_EQ(catalogue.size(), 2u);
    EXPECT_EQ(catalogue[0].name, "s7");
    EXPECT_EQ(catalogue[0].sampleRate, 1000.0);
    EXPECT_EQ(catalogue[0].streamCount, 2);
    ASSERT_EQ(catalogue[0].channels.size(), 1u);
    EXPECT_EQ(catalogue[0].channels[0].unitText, "VOLTS");
    EXPECT_EQ(catalogue[0].channels[0].componentNames, (Strings{"emg 1", "emg 2"}));
    EXPECT_EQ(catalogue[1].name, "s9");
    EXPECT_EQ(catalogue[1].sampleRate, 2000.0);
    // Same channel name in two sensors: one record in each.
    ASSERT_EQ(catalogue[1].channels.size(), 1u);
    EXPECT_EQ(catalogue[1].channels[0].name, "emg");
    EXPECT_EQ(catalogue[1].channels[0].componentNames, (Strings{"emg 1"}));
}

TEST(CatalogueBuild, ChannelsGroupByNameTextNotByGroupId) {
    FakeStationAnswers station;
    AnswerItem(station, "A+1", "VOLTS", "left", "s1");
    AnswerItem(station, "B+1", "g", "right", "s1");
    station.Answer("A", 0, "emg");
    station.Answer("B", 0, "emg");

    const SensorCatalogue catalogue = Build("A+1|B+1|", station, {10, 20});

    ASSERT_EQ(catalogue.size(), 1u);
    ASSERT_EQ(catalogue[0].channels.size(), 1u);
    EXPECT_EQ(catalogue[0].channels[0].unitText, "VOLTS");
    EXPECT_EQ(catalogue[0].channels[0].componentNames, (Strings{"left", "right"}));
    EXPECT_EQ(catalogue[0].streamCount, 2);
}

TEST(CatalogueBuild, TextAfterLastSeparatorIsNoItem) {
    FakeStationAnswers station;
    const CatalogueBuildResult trailing = QueryItems("A+1|A+2", station);
    ASSERT_TRUE(trailing.ok);
    ASSERT_EQ(trailing.items.size(), 1u);
    EXPECT_EQ(trailing.positionCount, 1u);
    EXPECT_EQ(station.asked, (Strings{"A+1,2", "A,0", "A+1,0", "A+1,3"}));

    station.asked.clear();
    for (const char* list : {"", "A+1", "no separator at all"}) {
        const CatalogueBuildResult none = QueryItems(list, station);
        EXPECT_TRUE(none.ok) << list;
        EXPECT_TRUE(none.items.empty()) << list;
        // No items: the rates are never read, so none need to exist.
        EXPECT_TRUE(GroupItems(none, nullptr).empty()) << list;
    }
    EXPECT_TRUE(station.asked.empty());
}

TEST(CatalogueBuild, ItemWithoutPlusIsItsOwnGroup) {
    FakeStationAnswers station;
    AnswerItem(station, "X", "Hz", "pulse", "s1");
    AnswerItem(station, "Y", "Hz", "beat", "s1");
    station.Answer("X", 0, "pulse");
    const CatalogueBuildResult result = QueryItems("X|X|Y|", station);
    ASSERT_TRUE(result.ok);
    // Asked twice in a row about X (group, then item); the repeated X asks
    // its group no more.
    EXPECT_EQ(station.asked, (Strings{"X,2", "X,0", "X,0", "X,3", "X,2", "X,0", "X,3", "Y,2", "Y,0",
                                      "Y,0", "Y,3"}));
    ASSERT_EQ(result.items.size(), 3u);
    EXPECT_EQ(result.items[0].channelName, "pulse");
    EXPECT_EQ(result.items[2].channelName, "beat");
}

TEST(CatalogueBuild, EmptyItemsAreSkippedButKeepTheirRatePosition) {
    FakeStationAnswers station;
    AnswerItem(station, "A+1", "VOLTS", "emg 1", "s7");
    AnswerItem(station, "B+1", "VOLTS", "emg 1", "s9");

    const CatalogueBuildResult result = QueryItems("|A+1||B+1|", station);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.positionCount, 4u);
    EXPECT_EQ(station.asked,
              (Strings{"A+1,2", "A,0", "A+1,0", "A+1,3", "B+1,2", "B,0", "B+1,0", "B+1,3"}));
    const std::vector<double> rates{1, 2, 3, 4};
    const SensorCatalogue catalogue = GroupItems(result, rates.data());
    ASSERT_EQ(catalogue.size(), 2u);
    EXPECT_EQ(catalogue[0].sampleRate, 2.0);
    EXPECT_EQ(catalogue[1].sampleRate, 4.0);
}

TEST(CatalogueBuild, FirstItemWithEmptyGroupIdAsksAboutThatGroup) {
    FakeStationAnswers station;
    AnswerItem(station, "+1", "VOLTS", "first", "s1");
    AnswerItem(station, "+2", "VOLTS", "second", "s1");
    station.Answer("", 0, "unnamed");

    const CatalogueBuildResult result = QueryItems("+1|+2|", station);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(station.asked, (Strings{"+1,2", ",0", "+1,0", "+1,3", "+2,2", "+2,0", "+2,3"}));
    ASSERT_EQ(result.items.size(), 2u);
    EXPECT_EQ(result.items[0].channelName, "unnamed");
    EXPECT_EQ(result.items[1].channelName, "unnamed");
}

TEST(CatalogueBuild, NullAnswerEndsTheBuildNamingTheRequest) {
    struct Case {
        const char* id;
        int code;
        const char* expected;
        size_t questionsAsked;
    };
    const Case cases[] = {
        {"A+2", 2, "information request 2 for item \"A+2\"", 5},
        {"B", 0, "information request 0 for group \"B\"", 9},
        {"A+1", 0, "information request 0 for item \"A+1\"", 3},
        {"B+1", 3, "information request 3 for item \"B+1\"", 11},
    };
    for (const Case& c : cases) {
        FakeStationAnswers station;
        station.AnswerNull(c.id, c.code);
        const CatalogueBuildResult result = QueryItems("A+1|A+2|B+1|", station);
        EXPECT_FALSE(result.ok) << c.expected;
        EXPECT_NE(result.failure.find(c.expected), std::string::npos) << result.failure;
        EXPECT_NE(result.failure.find("no devices are published"), std::string::npos);
        EXPECT_TRUE(result.items.empty());
        // Nothing is asked after the unanswered request.
        EXPECT_EQ(station.asked.size(), c.questionsAsked) << c.expected;
        const std::vector<double> rates{1, 2, 3};
        EXPECT_TRUE(GroupItems(result, rates.data()).empty());
    }

    FakeStationAnswers station;
    const CatalogueBuildResult noList = QueryItems(nullptr, station);
    EXPECT_FALSE(noList.ok);
    EXPECT_NE(noList.failure.find("no item list"), std::string::npos);
    EXPECT_TRUE(station.asked.empty());
}

TEST(CatalogueBuild, ItemsWithoutRatesGiveNoCatalogue) {
    FakeStationAnswers station;
    const CatalogueBuildResult result = QueryItems("A+1|", station);
    ASSERT_TRUE(result.ok);
    EXPECT_TRUE(GroupItems(result, nullptr).empty());
}

TEST(CatalogueBuild, EmptyAnswersAreOrdinaryNames) {
    FakeStationAnswers station;  // every question answered with ""
    const std::vector<double> rates{5, 6};
    const SensorCatalogue catalogue = Build("A+1|B+1|", station, rates);
    ASSERT_EQ(catalogue.size(), 1u);
    EXPECT_EQ(catalogue[0].name, "");
    EXPECT_EQ(catalogue[0].sampleRate, 5.0);
    EXPECT_EQ(catalogue[0].streamCount, 2);
    ASSERT_EQ(catalogue[0].channels.size(), 1u);
    EXPECT_EQ(catalogue[0].channels[0].componentNames, (Strings{"", ""}));
}

}  // namespace
