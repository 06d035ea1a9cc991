// One EDF+ or BDF+ file written through EDFlib: the header from a signal
// table, digital records as they fill, and annotations within the space the
// file has for them.
//
// EDFlib stores one annotation per annotation signal per data record and
// silently leaves out any beyond that; it keeps the annotations in memory
// until the file is closed. So this file holds annotations back until the
// records written so far have room for them, and counts the ones that never
// found room. EDFlib writes the record count into the header only when the
// file is closed: Close runs on every way out (the destructor too).
#pragma once

#include "emulator/vdd_host/recording/edf_signals.h"
#include "emulator/vdd_host/recording/recording_field.h"

#include <cstdint>
#include <ctime>
#include <deque>
#include <string>
#include <vector>

namespace varnix::vddhost {

struct EdfAnnotation {
    double onsetS = 0.0;      // from the start of the file
    double durationS = -1.0;  // < 0: none
    std::string text;         // EDFlib keeps at most kAnnotationWidth bytes
};

// [host] One thread only. Every member may block on the disk; Open, WriteRecord
// and Annotate allocate.
class EdfFile {
public:
    static constexpr int kAnnotationSignals = 2;
    static constexpr size_t kAnnotationWidth = 40;  // EDFlib 1.23 cuts descriptions here
    static constexpr size_t kPendingKept = 256;     // annotations waiting for room, at most

    EdfFile() = default;
    ~EdfFile();
    EdfFile(const EdfFile&) = delete;
    EdfFile& operator=(const EdfFile&) = delete;

    // Creates `path` (replacing a file of that name). `recordUnits` is the
    // record duration in EDFlib's units of 10 us; `recording` fills the
    // recording field (recording_field.h). False with `error` set.
    bool Open(const std::string& path, EdfKind kind, const std::vector<EdfSignal>& signals,
              int recordUnits, const RecordingSubfields& recording, std::string& error);

    // The wall-clock time of the first sample, to the second (cut, not
    // rounded); only before the first record.
    void SetStart(const timespec& wallTime);

    // One data record: every signal's samplesPerRecord digital samples, signal
    // after signal. False with `error` set when the write fails.
    bool WriteRecord(const std::vector<int32_t>& record, std::string& error);

    // Queues an annotation; it goes into the file as soon as the file has
    // room for it (on the next record, or at Close).
    void Annotate(EdfAnnotation annotation);

    // Writes what fits of the queue, closes the file (EDFlib then writes the
    // record count). Harmless when not open. False with `error` set.
    bool Close(std::string& error);

    int64_t Records() const { return records_; }
    uint64_t AnnotationsWritten() const { return annotationsWritten_; }
    uint64_t AnnotationsLeftOut() const { return annotationsLeftOut_; }

private:
    void FlushAnnotations();

    int handle_ = -1;
    std::vector<int32_t> samplesPerRecord_;
    int64_t records_ = 0;
    uint64_t annotationsWritten_ = 0;
    uint64_t annotationsLeftOut_ = 0;
    std::deque<EdfAnnotation> pending_;
};

}  // namespace varnix::vddhost
