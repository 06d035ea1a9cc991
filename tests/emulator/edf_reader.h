// A reader of EDF+ and BDF+ files written from the published layout of the
// two formats, sharing no code with vdd-host or EDFlib: a fixed 256-byte
// header, 256 bytes per signal in fields of fixed width, then the data
// records, each signal's samples in turn as 16-bit (EDF) or 24-bit (BDF)
// little-endian two's complement. Annotations are the Time-stamped
// Annotation Lists ("+onset\x15duration\x14text\x14\0") of the signal
// labelled "EDF Annotations" / "BDF Annotations"; the first list of every
// record only keeps the record's time.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace varnix::emulator::testing {

struct EdfContent {
    struct Signal {
        std::string label, transducer, dimension, prefilter;
        std::string physicalMinText, physicalMaxText;
        double physicalMin = 0, physicalMax = 0;
        int32_t digitalMin = 0, digitalMax = 0;
        int32_t samplesPerRecord = 0;
        std::vector<int32_t> digital;  // every record's samples, in order

        double Physical(size_t i) const {
            return physicalMin + (static_cast<double>(digital.at(i)) - digitalMin) *
                                     (physicalMax - physicalMin) /
                                     (static_cast<double>(digitalMax) - digitalMin);
        }
        double Step() const {
            return (physicalMax - physicalMin) / (static_cast<double>(digitalMax) - digitalMin);
        }
    };
    struct Annotation {
        double onset = 0;      // seconds from the file's first sample
        double duration = -1;  // -1: none given
        std::string text;
    };
    bool bdf = false;
    std::string reserved;  // "EDF+C" / "BDF+C" for a continuous plus file
    std::string patient, recording, startDate, startTime;
    int64_t records = 0;
    double recordSeconds = 0;
    std::vector<Signal> signals;  // the annotation signal left out
    std::vector<Annotation> annotations;
    double firstRecordOnset = 0;  // time-keeping of record 0
};

namespace edf_detail {

inline std::string Field(const std::string& bytes, size_t& at, size_t width) {
    std::string text = bytes.substr(at, width);
    at += width;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// One annotation signal's bytes of a record into `out`. In the record's
// first annotation signal the first list keeps the record's time: its onset
// goes to `timeKeeping`.
inline void ReadAnnotations(const std::string& bytes, bool firstSignal,
                            std::vector<EdfContent::Annotation>& out, double& timeKeeping) {
    size_t at = 0;
    bool keeping = firstSignal;
    while (at < bytes.size() && bytes[at] != '\0') {
        const size_t end = bytes.find('\0', at);
        const std::string tal =
            bytes.substr(at, (end == std::string::npos ? bytes.size() : end) - at);
        at = end == std::string::npos ? bytes.size() : end + 1;
        const size_t firstMark = tal.find('\x14');
        std::string timing = tal.substr(0, firstMark);
        double duration = -1;
        const size_t durationMark = timing.find('\x15');
        if (durationMark != std::string::npos) {
            duration = std::strtod(timing.c_str() + durationMark + 1, nullptr);
            timing = timing.substr(0, durationMark);
        }
        const double onset = std::strtod(timing.c_str(), nullptr);
        size_t textAt = firstMark + 1;
        if (keeping) {
            // The time-keeping list may carry texts too; they are annotations.
            timeKeeping = onset;
            keeping = false;
        }
        while (textAt < tal.size()) {
            const size_t mark = tal.find('\x14', textAt);
            const std::string text =
                tal.substr(textAt, (mark == std::string::npos ? tal.size() : mark) - textAt);
            if (!text.empty()) out.push_back({onset, duration, text});
            textAt = mark == std::string::npos ? tal.size() : mark + 1;
        }
    }
}

}  // namespace edf_detail

// Reads `path` whole. False with `error` set when the file is not a complete
// EDF/BDF file: a header that does not parse, a record count of -1 (never
// closed) or a size that does not match the header.
inline bool ReadEdf(const std::string& path, EdfContent& content, std::string& error) {
    using edf_detail::Field;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open " + path;
        return false;
    }
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    if (bytes.size() < 256) {
        error = path + ": shorter than a header";
        return false;
    }
    size_t at = 0;
    const std::string version = bytes.substr(0, 8);
    content.bdf = static_cast<unsigned char>(version[0]) == 0xff && version.substr(1) == "BIOSEMI";
    if (!content.bdf && version != "0       ") {
        error = path + ": version field " + version + " is neither EDF nor BDF";
        return false;
    }
    at = 8;
    content.patient = Field(bytes, at, 80);
    content.recording = Field(bytes, at, 80);
    content.startDate = Field(bytes, at, 8);
    content.startTime = Field(bytes, at, 8);
    const size_t headerBytes = static_cast<size_t>(std::atol(Field(bytes, at, 8).c_str()));
    content.reserved = Field(bytes, at, 44);
    content.records = std::atoll(Field(bytes, at, 8).c_str());
    content.recordSeconds = std::strtod(Field(bytes, at, 8).c_str(), nullptr);
    const size_t count = static_cast<size_t>(std::atol(Field(bytes, at, 4).c_str()));
    if (headerBytes != 256 * (count + 1) || bytes.size() < headerBytes) {
        error = path + ": header size " + std::to_string(headerBytes) + " does not fit " +
                std::to_string(count) + " signals";
        return false;
    }
    if (content.records < 0) {
        error = path + ": record count " + std::to_string(content.records) +
                ": the file was never closed";
        return false;
    }
    std::vector<EdfContent::Signal> all(count);
    for (auto& s : all) s.label = Field(bytes, at, 16);
    for (auto& s : all) s.transducer = Field(bytes, at, 80);
    for (auto& s : all) s.dimension = Field(bytes, at, 8);
    for (auto& s : all)
        s.physicalMin = std::strtod((s.physicalMinText = Field(bytes, at, 8)).c_str(), nullptr);
    for (auto& s : all)
        s.physicalMax = std::strtod((s.physicalMaxText = Field(bytes, at, 8)).c_str(), nullptr);
    for (auto& s : all) s.digitalMin = std::atoi(Field(bytes, at, 8).c_str());
    for (auto& s : all) s.digitalMax = std::atoi(Field(bytes, at, 8).c_str());
    for (auto& s : all) s.prefilter = Field(bytes, at, 80);
    for (auto& s : all) s.samplesPerRecord = std::atoi(Field(bytes, at, 8).c_str());
    const size_t width = content.bdf ? 3 : 2;
    size_t recordBytes = 0;
    for (const auto& s : all) recordBytes += static_cast<size_t>(s.samplesPerRecord) * width;
    const size_t expected = headerBytes + recordBytes * static_cast<size_t>(content.records);
    if (bytes.size() != expected) {
        error = path + ": " + std::to_string(bytes.size()) + " bytes, the header announces " +
                std::to_string(expected);
        return false;
    }
    at = headerBytes;
    for (int64_t r = 0; r < content.records; ++r) {
        bool firstAnnotationSignal = true;
        for (auto& s : all) {
            const bool annotations = s.label == "EDF Annotations" || s.label == "BDF Annotations";
            const size_t length = static_cast<size_t>(s.samplesPerRecord) * width;
            if (annotations) {
                double keeping = 0;
                edf_detail::ReadAnnotations(bytes.substr(at, length), firstAnnotationSignal,
                                            content.annotations, keeping);
                if (r == 0 && firstAnnotationSignal) content.firstRecordOnset = keeping;
                firstAnnotationSignal = false;
            } else {
                for (size_t i = 0; i < static_cast<size_t>(s.samplesPerRecord); ++i) {
                    const auto* p =
                        reinterpret_cast<const unsigned char*>(bytes.data() + at + i * width);
                    int32_t value =
                        content.bdf ? (p[0] | (p[1] << 8) | (p[2] << 16)) : (p[0] | (p[1] << 8));
                    const int32_t sign = content.bdf ? 0x800000 : 0x8000;
                    if (value & sign) value -= 2 * sign;
                    s.digital.push_back(value);
                }
            }
            at += length;
        }
    }
    for (auto& annotation : content.annotations) annotation.onset -= content.firstRecordOnset;
    for (auto& s : all) {
        if (s.label != "EDF Annotations" && s.label != "BDF Annotations")
            content.signals.push_back(std::move(s));
    }
    return true;
}

}  // namespace varnix::emulator::testing
