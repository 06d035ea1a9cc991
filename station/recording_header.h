// The header of an EDF, EDF+, BDF or BDF+ recording, read by the published
// layout of the formats: a main header of 256 bytes, then 256 bytes per
// signal, each field of fixed width holding ASCII text:
//
//   main header   0 version (8: "0" for EDF, 0xFF "BIOSEMI" for BDF)
//                 8 patient (80)   88 recording (80)   168 start date (8)
//               176 start time (8) 184 header bytes (8) 192 reserved (44:
//                   "EDF+C", "EDF+D", "BDF+C", "BDF+D" for the plus kinds)
//               236 data records (8, -1 while unknown)  244 record seconds (8)
//               252 signals (4)
//   per signal    label (16) transducer (80) dimension (8) physical min (8)
//   (each field   physical max (8) digital min (8) digital max (8)
//   for every     prefilter (80) samples per record (8) reserved (32)
//   signal, then
//   the next)
//
// Data records follow the header: each holds every signal's samples in
// turn, 16-bit (EDF) or 24-bit (BDF) little-endian two's complement. The
// signals labelled "EDF Annotations" / "BDF Annotations" carry annotation
// lists instead (recording_annotations.h).
//
// Pure: bytes in, a header out. Every refusal names the byte offset of the
// field in the file and what was expected.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varnix::station {

constexpr size_t kMainHeaderBytes = 256;
constexpr size_t kSignalHeaderBytes = 256;
// Beyond this a header is taken as broken rather than as a huge file.
constexpr size_t kMaxRecordingSignals = 10000;

enum class RecordingKind { kEdf, kBdf };

struct RecordingSignal {
    std::string label;
    std::string transducer;
    std::string dimension;
    double physicalMin = 0.0;
    double physicalMax = 0.0;
    int32_t digitalMin = 0;
    int32_t digitalMax = 0;
    int32_t samplesPerRecord = 0;
    bool annotations = false;   // an EDF+/BDF+ annotation signal
    size_t offsetInRecord = 0;  // bytes before its samples in a data record
};

struct RecordingHeader {
    RecordingKind kind = RecordingKind::kEdf;
    bool plus = false;           // EDF+ or BDF+
    bool discontinuous = false;  // "EDF+D" / "BDF+D"
    std::string recording;       // the recording field, spaces trimmed
    size_t headerBytes = 0;
    int64_t records = -1;  // as the header says; -1: not known
    double recordSeconds = 0.0;
    std::vector<RecordingSignal> signals;
    size_t sampleBytes = 2;  // 2 (EDF) or 3 (BDF)
    size_t recordBytes = 0;  // every signal's samples of one record
};

// [any] Reads the main header from its 256 bytes. Sets every field but the
// signals and `signalCount`. False with `error` ("byte N (field): expected
// ..., got ..."). Pure; allocates.
bool ParseMainHeader(const char* bytes, RecordingHeader& header, size_t& signalCount,
                     std::string& error);

// [any] Reads `signalCount` signal headers from their signalCount x 256
// bytes (which start at byte 256 of the file) into `header.signals`, and
// works out each signal's place in a record and the record's size. False
// with `error` as above. Pure; allocates.
bool ParseSignalHeaders(const char* bytes, size_t signalCount, RecordingHeader& header,
                        std::string& error);

}  // namespace varnix::station
