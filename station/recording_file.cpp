#include "recording_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace varnix::station {

namespace {

std::string Bytes(uint64_t count) {
    return std::to_string(count) + " bytes";
}

}  // namespace

RecordingFile::~RecordingFile() = default;

bool RecordingFile::ReadAt(uint64_t offset, size_t length, char* out) const {
    file_.clear();
    file_.seekg(static_cast<std::streamoff>(offset));
    file_.read(out, static_cast<std::streamsize>(length));
    return file_.gcount() == static_cast<std::streamsize>(length);
}

// Opens `path` for reading and gives its size; otherwise says why not.
bool RecordingFile::OpenFile(const std::string& path, uint64_t& size, std::string& why) {
    std::error_code status;
    const std::filesystem::file_status kind = std::filesystem::status(path, status);
    if (status) {
        why = status.message();
        return false;
    }
    if (!std::filesystem::is_regular_file(kind)) {
        why = "something else";
        return false;
    }
    errno = 0;
    file_.open(path, std::ios::binary);
    size = std::filesystem::file_size(path, status);
    if (!file_.is_open() || status) {
        why = status ? status.message() : std::generic_category().message(errno ? errno : EACCES);
        return false;
    }
    return true;
}

bool RecordingFile::Open(const std::string& path, std::string& error,
                         std::vector<std::string>& warnings) {
    path_ = path;
    const std::string prefix = "recording " + path + ": ";
    uint64_t size = 0;
    std::string why;
    if (!OpenFile(path, size, why)) {
        error = prefix + "expected a readable EDF or BDF file, got " + why;
        return false;
    }
    std::vector<char> bytes(kMainHeaderBytes);
    if (size < kMainHeaderBytes || !ReadAt(0, kMainHeaderBytes, bytes.data())) {
        error = prefix + "the file ends at byte " + std::to_string(size) +
                ", inside the 256-byte main header: it is not a whole EDF or BDF file";
        return false;
    }
    size_t signalCount = 0;
    if (!ParseMainHeader(bytes.data(), header_, signalCount, why)) {
        error = prefix + why;
        return false;
    }
    bytes.resize(signalCount * kSignalHeaderBytes);
    if (size < header_.headerBytes || !ReadAt(kMainHeaderBytes, bytes.size(), bytes.data())) {
        error = prefix + "the file ends at byte " + std::to_string(size) +
                ", inside the signal headers (" + std::to_string(signalCount) +
                " signals: the header ends at byte " + std::to_string(header_.headerBytes) + ")";
        return false;
    }
    if (!ParseSignalHeaders(bytes.data(), signalCount, header_, why)) {
        error = prefix + why;
        return false;
    }
    return CountRecords(size, error, warnings) && ScanAnnotations(error, warnings);
}

bool RecordingFile::CountRecords(uint64_t size, std::string& error,
                                 std::vector<std::string>& warnings) {
    const std::string prefix = "recording " + path_ + ": ";
    const uint64_t recordBytes = header_.recordBytes;
    const uint64_t held = (size - header_.headerBytes) / recordBytes;
    const uint64_t dataEnd = header_.headerBytes + held * recordBytes;
    const std::string layout =
        "records of " + Bytes(recordBytes) + " from byte " + std::to_string(header_.headerBytes);
    if (header_.records < 0) {
        records_ = static_cast<int64_t>(held);
        warnings.push_back(prefix + "the header's number of data records (byte 236) is -1: the " +
                           "file was not closed when it was written; replaying the " +
                           std::to_string(held) + " whole " + layout + " to byte " +
                           std::to_string(dataEnd));
    } else if (static_cast<uint64_t>(header_.records) > held) {
        records_ = static_cast<int64_t>(held);
        warnings.push_back(prefix + "truncated: the header announces " +
                           std::to_string(header_.records) + " " + layout + " (to byte " +
                           std::to_string(header_.headerBytes + header_.records * recordBytes) +
                           ") but the file ends at byte " + std::to_string(size) +
                           ", inside record " + std::to_string(held) + "; replaying the " +
                           std::to_string(held) + " whole records before it");
    } else {
        records_ = header_.records;
        const uint64_t end = header_.headerBytes + static_cast<uint64_t>(records_) * recordBytes;
        if (size > end) {
            warnings.push_back(prefix + Bytes(size - end) + " after the last of the " +
                               std::to_string(records_) + " announced records (from byte " +
                               std::to_string(end) + ") are left alone");
        }
    }
    if (records_ == 0) {
        error = prefix + "holds no whole data record (" + layout + ", the file ends at byte " +
                std::to_string(size) + ")";
        return false;
    }
    return true;
}

bool RecordingFile::ScanAnnotations(std::string& error, std::vector<std::string>& warnings) {
    size_t first = SIZE_MAX, last = 0;
    for (const RecordingSignal& signal : header_.signals) {
        if (!signal.annotations) continue;
        first = std::min(first, signal.offsetInRecord);
        last =
            std::max(last, signal.offsetInRecord + signal.samplesPerRecord * header_.sampleBytes);
    }
    if (first == SIZE_MAX) return true;
    const std::string prefix = "recording " + path_ + ": ";
    std::vector<char> span(last - first);
    std::vector<RecordingAnnotation> found;
    double firstRecordTime = 0.0;
    double expectedTime = 0.0;
    bool gapTold = false;
    uint64_t leftOut = 0;
    for (int64_t r = 0; r < records_; ++r) {
        const uint64_t at = header_.headerBytes + static_cast<uint64_t>(r) * header_.recordBytes;
        errno = 0;
        if (!ReadAt(at + first, span.size(), span.data())) {
            error = prefix + "reading the annotations of record " + std::to_string(r) +
                    " at byte " + std::to_string(at + first) +
                    " failed: " + std::generic_category().message(errno ? errno : EIO);
            return false;
        }
        bool keepsTime = true;
        double recordTime = 0.0;
        found.clear();
        for (const RecordingSignal& signal : header_.signals) {
            if (!signal.annotations) continue;
            const size_t offset = signal.offsetInRecord - first;
            if (!ParseAnnotationLists(
                    span.data() + offset, signal.samplesPerRecord * header_.sampleBytes,
                    at + signal.offsetInRecord, keepsTime, recordTime, found, error)) {
                error.insert(0, prefix);
                return false;
            }
            keepsTime = false;
        }
        if (r == 0) firstRecordTime = recordTime;
        if (header_.discontinuous && !gapTold &&
            std::fabs(recordTime - firstRecordTime - expectedTime) > 1e-6) {
            warnings.push_back(prefix + "discontinuous (" +
                               (header_.kind == RecordingKind::kBdf ? "BDF+D" : "EDF+D") +
                               "): record " + std::to_string(r) + " starts at " +
                               std::to_string(recordTime - firstRecordTime) +
                               " s; the replay plays the records back to back, without gaps");
            gapTold = true;
        }
        expectedTime += header_.recordSeconds;
        KeepMarks(found, firstRecordTime, leftOut);
    }
    if (leftOut > 0) {
        warnings.push_back(prefix + std::to_string(leftOut) + " pulse and end annotations beyond " +
                           "the first " + std::to_string(kKeptAnnotations) + " are left out");
    }
    return true;
}

void RecordingFile::KeepMarks(std::vector<RecordingAnnotation>& found, double firstRecordTime,
                              uint64_t& leftOut) {
    for (RecordingAnnotation& annotation : found) {
        if (annotation.text != kStartPulseText && annotation.text != kStopPulseText &&
            annotation.text != kDataEndText) {
            continue;
        }
        if (marks_.size() >= kKeptAnnotations) {
            ++leftOut;
            continue;
        }
        annotation.onsetS -= firstRecordTime;
        marks_.push_back(std::move(annotation));
    }
}

bool RecordingFile::ReadRecord(int64_t index, std::vector<char>& bytes, std::string& error) const {
    bytes.resize(header_.recordBytes);
    const uint64_t at = header_.headerBytes + static_cast<uint64_t>(index) * header_.recordBytes;
    if (index < 0 || index >= records_ || !ReadAt(at, bytes.size(), bytes.data())) {
        error = "recording " + path_ + ": reading record " + std::to_string(index) + " at byte " +
                std::to_string(at) +
                " failed (the file is shorter than when the replay opened it?)";
        return false;
    }
    return true;
}

}  // namespace varnix::station
