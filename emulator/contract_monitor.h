// Breaches of the host contract seen from the host's side: each one says what
// happened and what the host expected instead.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace varnix::emulator {

struct Violation {
    std::string rule;      // short name: "concurrent-push", "after-shutdown", ...
    std::string what;      // what the plug-in did, with the values
    std::string expected;  // what the contract asks for
    uint64_t thread = 0;   // kernel thread id of the offending call
    std::string threadName;
};

// [host][acquisition][handoff] Any thread may report or read; each member
// takes the monitor's mutex briefly and may allocate. A fault repeated on
// every push is counted in full but kept in detail only kKeptPerRule times,
// so a long faulty run does not grow without bound.
class ContractMonitor {
public:
    static constexpr size_t kKeptPerRule = 64;

    void Report(std::string rule, std::string what, std::string expected);
    std::vector<Violation> Violations() const;  // the kept ones, in report order
    size_t Count() const;                       // every report
    size_t Count(const std::string& rule) const;
    std::map<std::string, size_t> CountsByRule() const;

private:
    mutable std::mutex mutex_;
    std::vector<Violation> violations_;
    std::map<std::string, size_t> counts_;
    size_t total_ = 0;
};

// One line: "<rule>: <what> (expected <expected>) [thread <name> <id>]".
std::string Describe(const Violation& violation);

}  // namespace varnix::emulator
