// Writes small EDF(+)/BDF(+) files for the replay tests, by the published
// layout and nothing else (no EDFlib, no vdd-host code), so that a test can
// make exactly the file it needs: vdd-host's names or foreign ones, odd
// rates, broken fields, fewer records than the header announces.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace station_test {

struct TestSignal {
    std::string label;
    std::string transducer;
    std::string dimension = "V";
    std::string physicalMin = "-1", physicalMax = "1";  // as written in the header
    std::optional<int32_t> digitalMin, digitalMax;      // default: the kind's whole range
    int32_t samplesPerRecord = 0;
    // The digital value of the signal's sample k (k counted over the whole file).
    std::function<int32_t(int64_t)> digital = [](int64_t k) {
        return static_cast<int32_t>(k % 1000);
    };
};

struct TestAnnotation {
    double onsetS = 0.0;
    double durationS = -1.0;
    std::string text;
    std::string raw;  // when set, the whole list as written (a 0 byte follows)
};

struct TestRecording {
    bool bdf = true;
    bool plus = true;
    std::string recording = "Startdate 01-JAN-2024 X X test";
    std::string recordSeconds = "0.108";
    int64_t records = 3;
    std::optional<std::string> announcedRecords;  // the header's field; default: records
    std::vector<TestSignal> signals;
    std::vector<TestAnnotation> annotations;  // spread over the records in order
    int32_t annotationBytes = 120;            // of each record's annotation signal
};

namespace writer_detail {

inline std::string Field(const std::string& text, size_t width) {
    std::string field = text.substr(0, width);
    field.resize(width, ' ');
    return field;
}

inline std::string Time(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%+.4f", seconds);
    return text;
}

}  // namespace writer_detail

// The physical value a reader gets for digital value `d` of `signal`.
inline double PhysicalOf(const TestSignal& signal, int32_t d, bool bdf) {
    const double low = std::stod(signal.physicalMin), high = std::stod(signal.physicalMax);
    const double dMin = signal.digitalMin.value_or(bdf ? -8388608 : -32768);
    const double dMax = signal.digitalMax.value_or(bdf ? 8388607 : 32767);
    return low + (static_cast<double>(d) - dMin) * (high - low) / (dMax - dMin);
}

// Byte offsets of a written file, for tests that break it.
struct WrittenLayout {
    size_t headerBytes = 0;
    size_t recordBytes = 0;
    size_t annotationOffset = 0;  // of the annotation signal within a record
};

// Writes `recording` to `path`. Returns the layout it wrote.
inline WrittenLayout WriteRecording(const std::string& path, const TestRecording& recording) {
    using writer_detail::Field;
    std::vector<TestSignal> signals = recording.signals;
    const size_t width = recording.bdf ? 3 : 2;
    if (recording.plus) {
        TestSignal annotations;
        annotations.label = recording.bdf ? "BDF Annotations" : "EDF Annotations";
        annotations.samplesPerRecord = recording.annotationBytes / static_cast<int32_t>(width);
        signals.push_back(annotations);
    }
    const size_t n = signals.size();
    std::string header;
    header += recording.bdf ? std::string("\xff") + "BIOSEMI" : Field("0", 8);
    header += Field("X X X X", 80);
    header += Field(recording.recording, 80);
    header += "01.01.2412.00.00";
    header += Field(std::to_string(256 * (n + 1)), 8);
    header += Field(
        recording.plus ? (recording.bdf ? "BDF+C" : "EDF+C") : (recording.bdf ? "24BIT" : ""), 44);
    header += Field(recording.announcedRecords.value_or(std::to_string(recording.records)), 8);
    header += Field(recording.recordSeconds, 8);
    header += Field(std::to_string(n), 4);
    const std::string low = recording.bdf ? "-8388608" : "-32768";
    const std::string high = recording.bdf ? "8388607" : "32767";
    for (const auto& s : signals) header += Field(s.label, 16);
    for (const auto& s : signals) header += Field(s.transducer, 80);
    for (const auto& s : signals) header += Field(s.dimension, 8);
    for (const auto& s : signals) header += Field(s.physicalMin, 8);
    for (const auto& s : signals) header += Field(s.physicalMax, 8);
    for (const auto& s : signals)
        header += Field(s.digitalMin ? std::to_string(*s.digitalMin) : low, 8);
    for (const auto& s : signals)
        header += Field(s.digitalMax ? std::to_string(*s.digitalMax) : high, 8);
    for (size_t i = 0; i < n; ++i) header += Field("", 80);
    for (const auto& s : signals) header += Field(std::to_string(s.samplesPerRecord), 8);
    for (size_t i = 0; i < n; ++i) header += Field("", 32);

    WrittenLayout layout;
    layout.headerBytes = header.size();
    for (size_t i = 0; i < n; ++i) {
        if (recording.plus && i + 1 == n) layout.annotationOffset = layout.recordBytes;
        layout.recordBytes += static_cast<size_t>(signals[i].samplesPerRecord) * width;
    }
    const double recordS = std::stod(recording.recordSeconds);
    std::string body;
    size_t nextAnnotation = 0;
    for (int64_t r = 0; r < recording.records; ++r) {
        for (size_t i = 0; i < n; ++i) {
            const TestSignal& signal = signals[i];
            if (recording.plus && i + 1 == n) {
                std::string lists =
                    writer_detail::Time(static_cast<double>(r) * recordS) + "\x14\x14" + '\0';
                while (nextAnnotation < recording.annotations.size()) {
                    const TestAnnotation& a = recording.annotations[nextAnnotation];
                    std::string list = writer_detail::Time(a.onsetS);
                    if (a.durationS >= 0)
                        list += "\x15" + writer_detail::Time(a.durationS).substr(1);
                    list += "\x14" + a.text + "\x14" + '\0';
                    if (!a.raw.empty()) list = a.raw + '\0';
                    if (lists.size() + list.size() > static_cast<size_t>(recording.annotationBytes))
                        break;
                    lists += list;
                    ++nextAnnotation;
                }
                lists.resize(static_cast<size_t>(signal.samplesPerRecord) * width, '\0');
                body += lists;
                continue;
            }
            for (int32_t k = 0; k < signal.samplesPerRecord; ++k) {
                const int32_t d = signal.digital(r * signal.samplesPerRecord + k);
                body += static_cast<char>(d & 0xff);
                body += static_cast<char>((d >> 8) & 0xff);
                if (width == 3) body += static_cast<char>((d >> 16) & 0xff);
            }
        }
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file != nullptr) {
        std::fwrite(header.data(), 1, header.size(), file);
        std::fwrite(body.data(), 1, body.size(), file);
        std::fclose(file);
    }
    return layout;
}

}  // namespace station_test
