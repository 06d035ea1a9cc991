#include "emulator/vdd_host/validate/round_journal.h"

#include <unistd.h>

#include <cerrno>

namespace varnix::vddhost {

namespace {

constexpr char kStep = 'S';
constexpr char kFailure = 'F';
constexpr char kEnvironment = 'E';
constexpr char kSummary = 'N';

}  // namespace

void RoundJournal::Step(const std::string& text) {
    ++steps_;
    Write(kStep, text);
}

void RoundJournal::Failure(const std::string& text) {
    Write(kFailure, text);
}
void RoundJournal::EnvironmentError(const std::string& text) {
    Write(kEnvironment, text);
}
void RoundJournal::Summary(const std::string& text) {
    Write(kSummary, text);
}

void RoundJournal::Write(char kind, const std::string& text) {
    std::string line;
    line.reserve(text.size() + 3);
    line += kind;
    line += ' ';
    for (char c : text.substr(0, kMaxLineBytes - 3)) line += (c == '\n' || c == '\r') ? ' ' : c;
    line += '\n';
    size_t written = 0;
    while (written < line.size()) {
        const ssize_t result = write(fd_, line.data() + written, line.size() - written);
        if (result < 0 && errno == EINTR) continue;
        if (result <= 0) return;  // validate has gone: nobody to tell
        written += static_cast<size_t>(result);
    }
}

void JournalReader::Take(const char* bytes, size_t count) {
    pending_.append(bytes, count);
    size_t start = 0;
    for (size_t newline = pending_.find('\n'); newline != std::string::npos;
         newline = pending_.find('\n', start)) {
        File(pending_.substr(start, newline - start));
        start = newline + 1;
    }
    pending_.erase(0, start);
}

void JournalReader::File(const std::string& line) {
    if (line.size() < 2) return;
    const std::string text = line.substr(2);
    switch (line[0]) {
        case kStep:
            ++report_.steps;
            if (onStep_) onStep_(text);
            report_.lastSteps.push_back(text);
            if (report_.lastSteps.size() > RoundReport::kStepsKept) report_.lastSteps.pop_front();
            break;
        case kFailure:
            report_.failures.push_back(text);
            break;
        case kEnvironment:
            report_.environmentError = text;
            break;
        case kSummary:
            report_.summary = text;
            break;
        default:
            break;
    }
}

}  // namespace varnix::vddhost
