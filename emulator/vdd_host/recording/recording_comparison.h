// `vdd-host compare A B`: do two BDF+/EDF+ files hold the same recording?
// Built for the replay round trip (record from a station, replay the file
// through the plug-in with --edf, compare the two), so it compares what a
// replay must keep and leaves out what it cannot:
//  - the file kind, the record duration and count, and per signal its
//    label, transducer (the full names), dimension, physical and digital
//    range and samples per record (so its rate);
//  - every digital sample, record by record;
//  - the annotations (onset, duration, text), apart from those that
//    describe the capture (DescribesTheCapture): a replayed session is a
//    session of its own, and measures the station's clock anew.
// The start date and time, patient and recording fields are not compared.
//
// Both files are read with EDFlib, a reader that shares no code with the
// station's, one record of one signal at a time: memory stays flat for
// hour-long files. EDFlib keeps a file's annotations in memory.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace varnix::vddhost {

struct RecordingComparison {
    bool readable = false;                 // both files opened and read
    std::string error;                     // why not, when !readable
    std::vector<std::string> differences;  // one line each; empty: the same
    std::string kind;                      // "BDF+", "EDF+", ...
    int64_t signals = 0;
    int64_t records = 0;
    double recordSeconds = 0.0;
    uint64_t samples = 0;  // compared
    uint64_t samplesDiffering = 0;
    uint64_t annotations = 0;  // compared, session starts left out
};

// True for the annotations vdd-host writes about a capture rather than its
// signals, which a replay writes anew: "session N start", "clock drift ...
// ppm" and "frame period X ms" (the capture's measure of the station's clock).
bool DescribesTheCapture(const std::string& text);

// [host] Reads both files; blocks on the disk; allocates a record of one
// signal and the annotations.
RecordingComparison CompareRecordings(const std::string& first, const std::string& second);

// Prints the comparison: what was compared, each difference (at most
// `shown` of them), and the verdict line.
void PrintComparison(const RecordingComparison& comparison, const std::string& first,
                     const std::string& second, size_t shown, std::ostream& out);

}  // namespace varnix::vddhost
