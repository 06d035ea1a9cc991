// What a round's process tells validate as it goes, over a pipe: each host
// step before it is taken, what failed, and a summary at the end. Written
// line by line as it happens, so that when the plug-in crashes or hangs the
// process, the steps that led there have already reached validate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace varnix::vddhost {

// [host] The child's side: one line per write(2), each at most
// kMaxLineBytes long (a longer text is cut), so lines never interleave. Used
// by the child's main thread only. Allocates; never throws.
class RoundJournal {
public:
    static constexpr size_t kMaxLineBytes = 4000;

    explicit RoundJournal(int fd) : fd_(fd) {}

    void Step(const std::string& text);
    void Failure(const std::string& text);
    void EnvironmentError(const std::string& text);
    void Summary(const std::string& text);
    uint64_t Steps() const { return steps_; }

private:
    void Write(char kind, const std::string& text);

    int fd_;
    uint64_t steps_ = 0;
};

// What validate learned from a round's journal.
struct RoundReport {
    static constexpr size_t kStepsKept = 12;

    std::deque<std::string> lastSteps;  // the latest kStepsKept, oldest first
    uint64_t steps = 0;
    std::vector<std::string> failures;
    std::string environmentError;
    std::string summary;
};

// [host] The parent's side: takes the bytes as they come from the pipe, in
// any pieces, and files every complete line into the report.
class JournalReader {
public:
    // `onStep`, if given, sees every step as it is filed.
    explicit JournalReader(std::function<void(const std::string&)> onStep = nullptr)
        : onStep_(std::move(onStep)) {}

    void Take(const char* bytes, size_t count);
    const RoundReport& Report() const { return report_; }

private:
    void File(const std::string& line);

    std::function<void(const std::string&)> onStep_;
    std::string pending_;
    RoundReport report_;
};

}  // namespace varnix::vddhost
