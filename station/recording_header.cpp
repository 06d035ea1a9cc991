#include "recording_header.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace varnix::station {

namespace {

// Field offsets and widths of the main header.
constexpr size_t kVersionAt = 0, kVersionWidth = 8;
constexpr size_t kRecordingAt = 88, kRecordingWidth = 80;
constexpr size_t kHeaderBytesAt = 184, kNumberWidth = 8;
constexpr size_t kReservedAt = 192, kReservedWidth = 44;
constexpr size_t kRecordsAt = 236;
constexpr size_t kDurationAt = 244;
constexpr size_t kSignalsAt = 252, kSignalsWidth = 4;

// Widths of the per-signal fields, in their order.
constexpr size_t kLabelWidth = 16, kTransducerWidth = 80, kDimensionWidth = 8;
constexpr size_t kPrefilterWidth = 80;
// A record of more than this many bytes is taken as a broken header.
constexpr size_t kMaxRecordBytes = size_t{64} << 20;

const char kEdfVersion[] = "0       ";
const char kBdfVersion[] =
    "\xff"
    "BIOSEMI";

std::string Trimmed(const char* bytes, size_t width) {
    size_t begin = 0, end = width;
    while (begin < end && bytes[begin] == ' ') ++begin;
    while (end > begin && (bytes[end - 1] == ' ' || bytes[end - 1] == '\0')) --end;
    return std::string(bytes + begin, end - begin);
}

// What a field was, for a message: printable, quoted.
std::string Shown(const char* bytes, size_t width) {
    std::string text = "\"";
    for (size_t i = 0; i < width; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7f) {
            text += static_cast<char>(c);
        } else {
            static const char kHex[] = "0123456789abcdef";
            text += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
        }
    }
    return text + "\"";
}

void Refuse(std::string& error, size_t at, const char* field, const std::string& expected,
            const char* bytes, size_t width) {
    error = "byte " + std::to_string(at) + " (" + field + "): expected " + expected + ", got " +
            Shown(bytes, width);
}

bool WholeNumber(const char* bytes, size_t width, int64_t& value) {
    const std::string text = Trimmed(bytes, width);
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size()) return false;
    value = parsed;
    return true;
}

bool Number(const char* bytes, size_t width, double& value) {
    const std::string text = Trimmed(bytes, width);
    if (text.empty()) return false;
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

bool IsAnnotationLabel(const std::string& label) {
    return label == "EDF Annotations" || label == "BDF Annotations";
}

}  // namespace

bool ParseMainHeader(const char* bytes, RecordingHeader& header, size_t& signalCount,
                     std::string& error) {
    const std::string version(bytes + kVersionAt, kVersionWidth);
    if (version == kEdfVersion) {
        header.kind = RecordingKind::kEdf;
        header.sampleBytes = 2;
    } else if (version == kBdfVersion) {
        header.kind = RecordingKind::kBdf;
        header.sampleBytes = 3;
    } else {
        Refuse(error, kVersionAt, "version",
               "\"0\" (EDF, EDF+) or 0xFF \"BIOSEMI\" (BDF, BDF+): is this an EDF or BDF file?",
               bytes + kVersionAt, kVersionWidth);
        return false;
    }
    header.recording = Trimmed(bytes + kRecordingAt, kRecordingWidth);
    const std::string reserved = Trimmed(bytes + kReservedAt, kReservedWidth);
    header.plus = reserved.rfind("EDF+", 0) == 0 || reserved.rfind("BDF+", 0) == 0;
    header.discontinuous = header.plus && reserved.size() > 4 && reserved[4] == 'D';

    int64_t count = 0;
    if (!WholeNumber(bytes + kSignalsAt, kSignalsWidth, count) || count < 1 ||
        count > static_cast<int64_t>(kMaxRecordingSignals)) {
        Refuse(error, kSignalsAt, "number of signals",
               "a whole number from 1 to " + std::to_string(kMaxRecordingSignals),
               bytes + kSignalsAt, kSignalsWidth);
        return false;
    }
    signalCount = static_cast<size_t>(count);
    int64_t headerBytes = 0;
    const size_t expectedBytes = kMainHeaderBytes + signalCount * kSignalHeaderBytes;
    if (!WholeNumber(bytes + kHeaderBytesAt, kNumberWidth, headerBytes) ||
        headerBytes != static_cast<int64_t>(expectedBytes)) {
        Refuse(error, kHeaderBytesAt, "header bytes",
               std::to_string(expectedBytes) + " (256 x (1 + " + std::to_string(signalCount) +
                   " signals))",
               bytes + kHeaderBytesAt, kNumberWidth);
        return false;
    }
    header.headerBytes = expectedBytes;
    if (!WholeNumber(bytes + kRecordsAt, kNumberWidth, header.records) || header.records < -1) {
        Refuse(error, kRecordsAt, "number of data records", "a whole number, or -1 when unknown",
               bytes + kRecordsAt, kNumberWidth);
        return false;
    }
    if (!Number(bytes + kDurationAt, kNumberWidth, header.recordSeconds) ||
        !(header.recordSeconds > 0.0)) {
        Refuse(error, kDurationAt, "duration of a data record", "a positive number of seconds",
               bytes + kDurationAt, kNumberWidth);
        return false;
    }
    return true;
}

namespace {

// Where the physical and digital ranges' blocks of n entries begin.
struct SignalBlocks {
    size_t physicalMinAt, physicalMaxAt, digitalMinAt, digitalMaxAt;
};

// Signal i's physical and digital range, checked.
bool ParseRanges(const char* bytes, const SignalBlocks& blocks, size_t i, RecordingKind kind,
                 const std::string& which, RecordingSignal& signal, std::string& error) {
    const auto fileOffset = [](size_t inBlock) { return kMainHeaderBytes + inBlock; };
    const int64_t digitalLow = kind == RecordingKind::kBdf ? -8388608 : -32768;
    const int64_t digitalHigh = kind == RecordingKind::kBdf ? 8388607 : 32767;
    const std::string digitalRange =
        "a whole number from " + std::to_string(digitalLow) + " to " + std::to_string(digitalHigh);
    const size_t physicalMin = blocks.physicalMinAt + i * kNumberWidth;
    const size_t physicalMax = blocks.physicalMaxAt + i * kNumberWidth;
    const size_t digitalMin = blocks.digitalMinAt + i * kNumberWidth;
    const size_t digitalMax = blocks.digitalMaxAt + i * kNumberWidth;
    if (!Number(bytes + physicalMin, kNumberWidth, signal.physicalMin)) {
        Refuse(error, fileOffset(physicalMin), (which + " physical minimum").c_str(), "a number",
               bytes + physicalMin, kNumberWidth);
        return false;
    }
    if (!Number(bytes + physicalMax, kNumberWidth, signal.physicalMax) ||
        signal.physicalMax == signal.physicalMin) {
        Refuse(error, fileOffset(physicalMax), (which + " physical maximum").c_str(),
               "a number other than the physical minimum", bytes + physicalMax, kNumberWidth);
        return false;
    }
    int64_t low = 0, high = 0;
    if (!WholeNumber(bytes + digitalMin, kNumberWidth, low) || low < digitalLow ||
        low > digitalHigh) {
        Refuse(error, fileOffset(digitalMin), (which + " digital minimum").c_str(), digitalRange,
               bytes + digitalMin, kNumberWidth);
        return false;
    }
    if (!WholeNumber(bytes + digitalMax, kNumberWidth, high) || high <= low || high > digitalHigh) {
        Refuse(error, fileOffset(digitalMax), (which + " digital maximum").c_str(),
               digitalRange + ", above the digital minimum", bytes + digitalMax, kNumberWidth);
        return false;
    }
    signal.digitalMin = static_cast<int32_t>(low);
    signal.digitalMax = static_cast<int32_t>(high);
    return true;
}

}  // namespace

bool ParseSignalHeaders(const char* bytes, size_t signalCount, RecordingHeader& header,
                        std::string& error) {
    const size_t n = signalCount;
    std::vector<RecordingSignal>& signals = header.signals;
    signals.assign(n, RecordingSignal{});
    // Each field is a block of n entries; `at` is the block's place in `bytes`.
    size_t at = 0;
    const auto fileOffset = [](size_t inBlock) { return kMainHeaderBytes + inBlock; };
    for (size_t i = 0; i < n; ++i) {
        signals[i].label = Trimmed(bytes + at + i * kLabelWidth, kLabelWidth);
        signals[i].annotations = IsAnnotationLabel(signals[i].label);
    }
    at += n * kLabelWidth;
    for (size_t i = 0; i < n; ++i) {
        signals[i].transducer = Trimmed(bytes + at + i * kTransducerWidth, kTransducerWidth);
    }
    at += n * kTransducerWidth;
    for (size_t i = 0; i < n; ++i) {
        signals[i].dimension = Trimmed(bytes + at + i * kDimensionWidth, kDimensionWidth);
    }
    at += n * kDimensionWidth;
    const size_t physicalMinAt = at, physicalMaxAt = at + n * kNumberWidth;
    const size_t digitalMinAt = at + 2 * n * kNumberWidth, digitalMaxAt = at + 3 * n * kNumberWidth;
    const size_t samplesAt = at + 4 * n * kNumberWidth + n * kPrefilterWidth;
    size_t recordBytes = 0;
    for (size_t i = 0; i < n; ++i) {
        RecordingSignal& signal = signals[i];
        const std::string which = "signal " + std::to_string(i + 1) + " \"" + signal.label + "\"";
        const size_t samples = samplesAt + i * kNumberWidth;
        int64_t perRecord = 0;
        if (!WholeNumber(bytes + samples, kNumberWidth, perRecord) || perRecord < 1 ||
            static_cast<size_t>(perRecord) * header.sampleBytes > kMaxRecordBytes) {
            Refuse(error, fileOffset(samples), (which + " samples per record").c_str(),
                   "a whole number from 1, at most 64 MiB of samples a record", bytes + samples,
                   kNumberWidth);
            return false;
        }
        signal.samplesPerRecord = static_cast<int32_t>(perRecord);
        signal.offsetInRecord = recordBytes;
        recordBytes += static_cast<size_t>(perRecord) * header.sampleBytes;
        if (recordBytes > kMaxRecordBytes) {
            Refuse(error, fileOffset(samples), (which + " samples per record").c_str(),
                   "data records of at most 64 MiB", bytes + samples, kNumberWidth);
            return false;
        }
        if (signal.annotations) continue;  // their ranges carry nothing
        const SignalBlocks blocks{physicalMinAt, physicalMaxAt, digitalMinAt, digitalMaxAt};
        if (!ParseRanges(bytes, blocks, i, header.kind, which, signal, error)) return false;
    }
    header.recordBytes = recordBytes;
    return true;
}

}  // namespace varnix::station
