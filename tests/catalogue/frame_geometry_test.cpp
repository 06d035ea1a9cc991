#include "catalogue/frame_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using varnix::ComputeFrameGeometry;
using varnix::SamplesPerFrame;
using varnix::SensorCatalogue;
using varnix::SensorRecord;
using varnix::ValuesPerFrame;

namespace {

SensorRecord Sensor(double rate, int32_t streams, size_t channels) {
    SensorRecord sensor;
    sensor.sampleRate = rate;
    sensor.streamCount = streams;
    sensor.channels.resize(channels);
    return sensor;
}

TEST(FrameGeometry, SamplesPerFrameRoundsHalvesAwayFromZero) {
    EXPECT_EQ(SamplesPerFrame(2, 2000.0), 54);
    EXPECT_EQ(SamplesPerFrame(1, 2000.0), 27);
    EXPECT_EQ(SamplesPerFrame(2, 150.0), 4);      // 4.05
    EXPECT_EQ(SamplesPerFrame(1, 1000.0), 14);    // 13.5 up, not truncated to 13
    EXPECT_EQ(SamplesPerFrame(3, 1000.0), 41);    // 40.5 up, where halves to even give 40
    EXPECT_EQ(SamplesPerFrame(-3, 1000.0), -41);  // -40.5 away from zero, not to even -40
    EXPECT_EQ(SamplesPerFrame(-1, 1000.0), -14);  // -13.5 away from zero, not truncated
    EXPECT_EQ(SamplesPerFrame(0, 2000.0), 0);
    EXPECT_EQ(SamplesPerFrame(3, 0.0), 0);
}

TEST(FrameGeometry, SamplesPerFrameOutOfRangeGivesZero) {
    EXPECT_EQ(SamplesPerFrame(1, 1e300), 0);
    EXPECT_EQ(SamplesPerFrame(1, -1e300), 0);
    EXPECT_EQ(SamplesPerFrame(1, std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(SamplesPerFrame(1, std::nan("")), 0);
    // The last values that fit are kept.
    EXPECT_EQ(SamplesPerFrame(1, 2147483647.0 / 0.0135), 2147483647);
    EXPECT_EQ(SamplesPerFrame(1, -2147483648.0 / 0.0135), -2147483647 - 1);
}

TEST(FrameGeometry, SlicesLieBackToBackInCatalogueOrder) {
    const SensorCatalogue catalogue{Sensor(2000, 3, 2), Sensor(150, 1, 1), Sensor(2000, 4, 4)};
    const auto geometry = ComputeFrameGeometry(catalogue, 2);
    ASSERT_EQ(geometry.size(), 3u);
    EXPECT_EQ(geometry[0].samplesPerFrame, 54);
    EXPECT_EQ(geometry[0].valuesPerFrame, 162);
    EXPECT_EQ(geometry[0].frameOffset, 0);
    EXPECT_EQ(geometry[0].channelCount, 2);
    EXPECT_EQ(geometry[1].samplesPerFrame, 4);
    EXPECT_EQ(geometry[1].valuesPerFrame, 4);
    EXPECT_EQ(geometry[1].frameOffset, 162);
    EXPECT_EQ(geometry[2].valuesPerFrame, 216);
    EXPECT_EQ(geometry[2].frameOffset, 166);
    EXPECT_EQ(geometry[2].channelCount, 4);
    EXPECT_TRUE(ComputeFrameGeometry({}, 2).empty());
}

TEST(FrameGeometry, ProductsAndOffsetsWrapLikeThirtyTwoBitIntegers) {
    EXPECT_EQ(ValuesPerFrame(2147483647, 2), -2);
    EXPECT_EQ(ValuesPerFrame(-2147483647 - 1, -1), -2147483647 - 1);
    EXPECT_EQ(ValuesPerFrame(65536, 65536), 0);
    EXPECT_EQ(ValuesPerFrame(-3, 5), -15);

    const double nearMax = 2147483647.0 / 0.0135;
    const auto geometry =
        ComputeFrameGeometry({Sensor(nearMax, 1, 1), Sensor(nearMax, 1, 1), Sensor(1000, 1, 1)}, 1);
    ASSERT_EQ(geometry.size(), 3u);
    EXPECT_EQ(geometry[1].frameOffset, 2147483647);
    EXPECT_EQ(geometry[2].frameOffset, -2);
}

}  // namespace
