// The annotations of an EDF+/BDF+ recording: each annotation signal of a
// data record holds Time-stamped Annotation Lists, one after the other, the
// rest of its bytes 0:
//
//   +onset [0x15 duration] 0x14 [text 0x14]... 0x00
//
// onset and duration in seconds as decimal text, the onset signed. The first
// list of a record's first annotation signal keeps the record's start time
// (its text is empty); the lists after it, and the texts of that first list,
// are annotations.
//
// Pure: bytes in, annotations out. A refusal names the byte offset in the
// file of the list that breaks the rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varnix::station {

struct RecordingAnnotation {
    double onsetS = 0.0;      // as written: from the recording's start time
    double durationS = -1.0;  // < 0: none given
    std::string text;
};

// [any] Reads one annotation signal's bytes of one record. `fileOffset` is
// the place of `bytes` in the file, for messages. When `keepsTime` (the
// record's first annotation signal), the first list's onset goes to
// `recordTime`. Appends the annotations to `out`. False with `error` ("byte
// N: annotation list: expected ..., got ..."). Pure; allocates.
bool ParseAnnotationLists(const char* bytes, size_t size, uint64_t fileOffset, bool keepsTime,
                          double& recordTime, std::vector<RecordingAnnotation>& out,
                          std::string& error);

}  // namespace varnix::station
