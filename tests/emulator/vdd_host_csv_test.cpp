// The CSV file holds exactly the values the plug-in pushed, bit for bit.
#include "emulator/vdd_host/capture/csv_export.h"
#include "tests/emulator/in_process_capture.h"

#include <cstring>
#include <fstream>
#include <sstream>

namespace varnix::emulator::testing {
namespace {

std::vector<std::string> SplitCsv(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            field += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(field);
    return fields;
}

TEST(VddHostCsv, EveryPushedValueReadsBackBitForBit) {
    InProcessCapture capture;
    capture.host.Settings().keepPushValues = true;  // the host's own copy to compare with
    const std::string path = ::testing::TempDir() + "/roundtrip.csv";
    std::string error;
    vddhost::CsvWriter csv;
    ASSERT_TRUE(csv.Open(path, error)) << error;
    capture.sinks.push_back(&csv);
    capture.Run(0.6, nullptr,
                {[&] { csv.SetLayouts(capture.checker->Layouts()); }, nullptr, nullptr});
    ASSERT_GT(capture.host.DeviceCount(), 0u);
    ASSERT_TRUE(csv.Close(error)) << error;

    std::ifstream file(path);
    std::string line;
    ASSERT_TRUE(std::getline(file, line));
    EXPECT_EQ(line, "session,device,channel,component,unit,sample,value");
    size_t rows = 0;
    for (size_t d = 0; d < capture.host.DeviceCount(); ++d) {
        const auto& layout = capture.checker->Layouts()[d];
        for (const PushRecord& push : capture.host.Context(d).Pushes()) {
            const size_t samples = static_cast<size_t>(push.samplesPerFrame);
            ASSERT_EQ(push.values.size(), samples * layout.streams.size());
            for (size_t j = 0; j < layout.streams.size(); ++j) {
                for (size_t i = 0; i < samples; ++i, ++rows) {
                    ASSERT_TRUE(std::getline(file, line)) << "row " << rows;
                    const auto fields = SplitCsv(line);
                    ASSERT_EQ(fields.size(), 7u) << line;
                    EXPECT_EQ(fields[1], push.deviceName);
                    EXPECT_EQ(fields[2], layout.streams[j].output);
                    EXPECT_EQ(fields[3], layout.streams[j].component);
                    EXPECT_EQ(std::stoll(fields[5]),
                              push.firstSampleIndex + static_cast<int64_t>(i));
                    const float read = std::strtof(fields[6].c_str(), nullptr);
                    const float pushed = push.values[j * samples + i];
                    ASSERT_EQ(std::memcmp(&read, &pushed, sizeof read), 0)
                        << line << " pushed " << pushed;
                }
            }
        }
    }
    EXPECT_FALSE(std::getline(file, line)) << "rows beyond the pushed values: " << line;
    EXPECT_GT(rows, 1000u);
}

}  // namespace
}  // namespace varnix::emulator::testing
