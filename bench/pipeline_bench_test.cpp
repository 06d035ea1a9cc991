// pipeline_bench's bookkeeping against a short real run: every push matched
// to its own frame, every polled frame pushed, one long-lived thread per device.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>

namespace {

std::string RunCommand(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, n);
        pclose(pipe);
    }
    return output;
}

// Guards against pushes matched to the wrong station frame (an off-by-one
// in the delivery index shows as a negative or a 13.5 ms-shifted latency).
TEST(PipelineBench, SixteenSensorsReportMatchedPushesAndNoLoss) {
    const std::string bin = std::getenv("VARNIX_BIN_DIR");
    const std::string source = std::getenv("VARNIX_SOURCE_DIR");
    const std::string output =
        RunCommand(bin + "/pipeline_bench -p " + source +
                   "/profiles/sensors16.json -d 2 --warmup 0.5 --station-seconds 0.5");
    const nlohmann::json report = nlohmann::json::parse(output, nullptr, false);
    ASSERT_FALSE(report.is_discarded()) << "not one JSON object: " << output;

    EXPECT_EQ(report["devices"], 16);
    // Queue drops depend on the machine's load; a polled frame reaching
    // every device does not.
    EXPECT_EQ(report["frames_polled_not_pushed"], 0);
    EXPECT_EQ(report["failed_thread_starts"], 0);
    const auto& latency = report["latency_ready_to_push"];
    EXPECT_GE(latency["min_ms"].get<double>(), 0.0) << "a push before its frame was ready";
    EXPECT_GE(latency["p50_ms"].get<double>(),
              report["latency_ready_to_poll"]["p50_ms"].get<double>());
    // Every device pushes every frame of the window (give or take the
    // deliveries in flight at either end of it).
    const double expected = 16.0 * report["frames_delivered"].get<double>();
    EXPECT_NEAR(latency["samples"].get<double>(), expected, 16.0 * 2);
    EXPECT_EQ(report["plugin_threads"], 16 + 1) << "one hand-off thread per device and the loop";
    EXPECT_EQ(report["handoff_threads_started_in_window"], 0);
}

}  // namespace

namespace {

// Guards against the table script falling out of step with the JSON that
// pipeline_bench prints (a renamed key ends the script with a traceback).
TEST(RunBenchmarksScript, PrintsOneRowPerRunAndTheCloneCheck) {
    const std::string bin = std::getenv("VARNIX_BIN_DIR");
    const std::string source = std::getenv("VARNIX_SOURCE_DIR");
    const std::string output =
        RunCommand(source + "/bench/run-benchmarks.sh --no-build --no-micro -B " + bin +
                   "/.. -s 16 -F '1 2' -L '0 1' -d 1 2>&1; echo exit=$?");
    EXPECT_NE(output.find("exit=0"), std::string::npos) << output;
    EXPECT_NE(output.find("machine: "), std::string::npos) << output;
    EXPECT_NE(output.find("/pipeline_bench -p " + source + "/profiles/sensors16.json -d 1\n"),
              std::string::npos)
        << output;
    // A row per run: build folder, sensors, frame multiple, busy processes.
    EXPECT_TRUE(std::regex_search(output, std::regex("\n\\S+ +16 +1 +0 +7\\d\\.\\d"))) << output;
    EXPECT_TRUE(std::regex_search(output, std::regex("\n\\S+ +16 +2 +0 +3\\d\\.\\d"))) << output;
    EXPECT_TRUE(std::regex_search(output, std::regex("\n\\S+ +16 +1 +1 +7\\d\\.\\d"))) << output;
    // The wake floor at each size and load, its last-awake times included.
    EXPECT_TRUE(std::regex_search(
        output,
        std::regex("\n +16 +1 +1 +\\d+\\.\\d\\d +\\d+\\.\\d +\\d+\\.\\d\\d +\\d+\\.\\d\\d\n")))
        << output;
    EXPECT_EQ(std::system("pgrep -f 'while :; do :; [d]one' >/dev/null"), 256)
        << "a busy process outlived the script";
    EXPECT_EQ(output.find("Traceback"), std::string::npos) << output;
}

}  // namespace
