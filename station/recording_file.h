// One EDF(+)/BDF(+) recording opened for a replay: its header, the whole
// data records it really holds, and the few annotations a replay acts on.
//
// The file is read as it is needed, never whole: Open reads the header and
// the annotation signals of every record (a few hundred bytes a record) and
// keeps only the annotations a replay uses; ReadRecord reads one record.
// Every read stays within the whole records that lie before the file's end
// as Open found it; a file that shrinks later makes ReadRecord fail, never
// read beyond.
//
// Messages start with "recording <path>: " and name byte offsets. Warnings
// (the file holds fewer or more records than its header says, a
// discontinuous file) do not stop a replay; errors do.
//
// Why the station reads the file itself and not through EDFlib, as
// `vdd-host compare` does: EDFlib refuses exactly the files a replay must
// take. A capture cut short (vdd-host killed, the machine down) leaves the
// header's record count at "-1", as EDFlib's own writer puts it there until
// it closes the file, and EDFlib then refuses to open it; it also refuses a
// file that holds fewer whole records than its header says (cut inside a
// record) and every discontinuous file (EDF+D, BDF+D). Those cases reach
// every part of the reading (the header, the record count, the
// annotations' scan), so a second path through EDFlib for the files it does
// take would remove no line here. The station's Windows build has no EDFlib
// either.
#pragma once

#include "recording_annotations.h"
#include "recording_header.h"

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace varnix::station {

// The annotation texts a replay acts on: those vdd-host writes.
constexpr const char* kStartPulseText = "start pulse";
constexpr const char* kStopPulseText = "stop pulse";
constexpr const char* kDataEndText = "recording ends; padding follows";

// [any] Not thread-safe: the station uses it under its own lock. Open
// allocates and blocks on the disk; ReadRecord blocks on the disk and
// allocates only the first time.
class RecordingFile {
public:
    // Pulses and data-end marks kept at most; more are left out.
    static constexpr size_t kKeptAnnotations = 1024;

    RecordingFile() = default;
    ~RecordingFile();
    RecordingFile(const RecordingFile&) = delete;
    RecordingFile& operator=(const RecordingFile&) = delete;

    // Opens `path`, reads and checks its header, works out the records it
    // holds and reads its annotations. False with `error`; `warnings` gets
    // one line for each thing the replay works around.
    bool Open(const std::string& path, std::string& error, std::vector<std::string>& warnings);

    const std::string& Path() const { return path_; }
    const RecordingHeader& Header() const { return header_; }
    // Whole data records the replay may read: those the header announces
    // and the file holds.
    int64_t Records() const { return records_; }
    // The start pulses, stop pulses and data-end marks, onsets counted from
    // the first record's start, in file order.
    const std::vector<RecordingAnnotation>& Marks() const { return marks_; }

    // Reads record `index` (< Records()) into `bytes` (resized to a record).
    // False with `error` when the read comes up short.
    bool ReadRecord(int64_t index, std::vector<char>& bytes, std::string& error) const;

private:
    bool OpenFile(const std::string& path, uint64_t& size, std::string& why);
    bool ReadAt(uint64_t offset, size_t length, char* out) const;
    bool CountRecords(uint64_t size, std::string& error, std::vector<std::string>& warnings);
    bool ScanAnnotations(std::string& error, std::vector<std::string>& warnings);
    // Keeps the pulse and end marks among a record's annotations (timed from
    // the first record), up to kKeptAnnotations; counts the rest in leftOut.
    void KeepMarks(std::vector<RecordingAnnotation>& found, double firstRecordTime,
                   uint64_t& leftOut);

    // Read by position; seeking changes the stream, so ReadAt, which reads
    // only, still needs it mutable.
    mutable std::ifstream file_;
    std::string path_;
    RecordingHeader header_;
    int64_t records_ = 0;
    std::vector<RecordingAnnotation> marks_;
};

}  // namespace varnix::station
