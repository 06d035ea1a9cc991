// Ctrl-C in the middle of a capture: vdd-host used to die at once, with no
// summary, no files and the module never shut down. Now the first SIGINT
// ends the capture like the end of its time, the second quits at once.
#include "tests/emulator/edf_reader.h"
#include "tests/emulator/run_process.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace varnix::emulator::testing {
namespace {

using Clock = std::chrono::steady_clock;

// vdd-host started in the background, its output going to a file.
struct Background {
    pid_t pid = -1;
    std::string output;

    void Start(const std::string& name, const std::string& arguments) {
        output = ::testing::TempDir() + "/" + name + "-" + std::to_string(getpid()) + ".out";
        const std::string command =
            "exec '" + BinDir() + "/vdd-host' " + arguments + " >'" + output + "' 2>&1";
        pid = fork();
        if (pid == 0) {
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    std::string Output() const {
        std::stringstream text;
        text << std::ifstream(output).rdbuf();
        return text.str();
    }
    // Waits until the output holds `text`; false after `seconds`.
    bool WaitFor(const std::string& text, double seconds) const {
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < end) {
            if (Output().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    // The exit code (128 + signal when killed); -1 after `seconds` (then killed).
    int Wait(double seconds) {
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        int status = 0;
        while (Clock::now() < end) {
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        pid = -1;
        return -1;
    }
    ~Background() {
        if (pid > 0) Wait(0);
        if (!output.empty()) std::remove(output.c_str());
    }
};

TEST(VddHostInterrupt, CtrlCEndsTheCaptureWithASummaryAndCompleteFiles) {
    const std::string base = ::testing::TempDir() + "/stopped";
    Background run;
    // Every stream of ramp4 counts its samples, so the file's sample k must read k.
    run.Start("stopped", "capture --profile '" + SourceDir() +
                             "/profiles/ramp4.json' --duration 30 --edf '" + base +
                             ".bdf' --csv '" + base + ".csv' --plot '" + base +
                             ".svg' --range V=-1:100000 --range other=-1:100000");
    ASSERT_TRUE(run.WaitFor("session 1 ", 20)) << run.Output();
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    ASSERT_EQ(kill(run.pid, SIGINT), 0);
    const int code = run.Wait(20);
    const std::string output = run.Output();
    ASSERT_EQ(code, 130) << output;

    EXPECT_NE(output.find("capture stopped early at "), std::string::npos) << output;
    EXPECT_NE(output.find(" s of 30 s (SIGINT)"), std::string::npos) << output;
    for (const char* device : {"Counter 1", "Counter 2", "Counter 3", "Slow counter"}) {
        EXPECT_NE(output.find(device), std::string::npos) << device;
    }
    EXPECT_NE(output.find("host errors handed out"), std::string::npos)
        << "the summary was printed whole";
    const size_t verdict = output.rfind("vdd-host: PASS (stopped early at ");
    ASSERT_NE(verdict, std::string::npos) << output;
    EXPECT_EQ(output.find('\n', verdict), output.size() - 1) << "the verdict is the last line";

    EdfContent content;
    std::string error;
    ASSERT_TRUE(ReadEdf(base + ".bdf", content, error)) << error;
    ASSERT_GT(content.records, 0);
    const EdfContent::Annotation* ends = nullptr;
    const EdfContent::Annotation* stopped = nullptr;
    for (const auto& annotation : content.annotations) {
        if (annotation.text == "recording ends; padding follows") ends = &annotation;
        if (annotation.text == "capture stopped early (SIGINT)") stopped = &annotation;
    }
    // The data end where the padding of the last record begins, or with the
    // last record when the data filled it.
    const double end = ends != nullptr ? ends->onset : content.records * content.recordSeconds;
    ASSERT_NE(stopped, nullptr);
    EXPECT_GT(end, 0.8);
    EXPECT_LT(end, 10.0);
    EXPECT_NEAR(stopped->onset, end, 0.5) << "the stop comes at the end of the data";
    ASSERT_EQ(content.signals.size(), 3u * 4u + 3u);
    for (const auto& signal : content.signals) {
        SCOPED_TRACE(signal.label);
        const double rate = signal.samplesPerRecord / content.recordSeconds;
        const size_t samples = static_cast<size_t>(std::llround(end * rate));
        ASSERT_LE(samples, signal.digital.size());
        for (size_t k = 0; k < samples; ++k) {
            ASSERT_NEAR(signal.Physical(k), static_cast<double>(k), signal.Step())
                << "sample " << k;
        }
    }

    std::ifstream csv(base + ".csv");
    std::string line, last;
    size_t rows = 0;
    while (std::getline(csv, line)) {
        last = line;
        ++rows;
    }
    EXPECT_GT(rows, 1000u);
    EXPECT_EQ(CountOf(last, ","), 6u) << "the last row is whole: " << last;
    std::stringstream svg;
    svg << std::ifstream(base + ".svg").rdbuf();
    EXPECT_NE(svg.str().rfind("</svg>\n"), std::string::npos);
}

TEST(VddHostInterrupt, ASecondCtrlCQuitsAtOnce) {
    Background run;
    // Held pushes make the orderly end take 5 s and more: Shutdown waits for them.
    run.Start("held", "capture --duration 30 --hold-push 5000 --edf '" + ::testing::TempDir() +
                          "/held.bdf'");
    ASSERT_TRUE(run.WaitFor("session 1 ", 20)) << run.Output();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_EQ(kill(run.pid, SIGINT), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const auto second = Clock::now();
    ASSERT_EQ(kill(run.pid, SIGINT), 0);
    const int code = run.Wait(20);
    const double took = std::chrono::duration<double>(Clock::now() - second).count();
    EXPECT_EQ(code, 130) << run.Output();
    // Well before the orderly end; the slack is for a sanitizer, which
    // hands a signal to its handler only at its next safe point.
    EXPECT_LT(took, 2.5) << run.Output();
    EXPECT_NE(run.Output().find("interrupted again: quitting at once"), std::string::npos)
        << run.Output();
}

}  // namespace
}  // namespace varnix::emulator::testing
