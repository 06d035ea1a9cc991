#include "recording_annotations.h"

#include <cmath>
#include <cstdlib>

namespace varnix::station {

namespace {

constexpr char kDurationMark = '\x15';
constexpr char kTextMark = '\x14';

std::string Shown(const std::string& text) {
    std::string shown = "\"";
    for (char c : text.substr(0, 24)) {
        shown += (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) ? c : '?';
    }
    return shown + (text.size() > 24 ? "...\"" : "\"");
}

// "+12.5", "-0.3": a sign, digits, at most one point with digits around it.
bool ParseTime(const std::string& text, bool signRequired, double& value) {
    size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        ++at;
    } else if (signRequired) {
        return false;
    }
    size_t digits = 0;
    bool point = false;
    for (; at < text.size(); ++at) {
        if (text[at] >= '0' && text[at] <= '9') {
            ++digits;
        } else if (text[at] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (digits == 0) return false;
    value = std::strtod(text.c_str(), nullptr);
    return std::isfinite(value);
}

}  // namespace

bool ParseAnnotationLists(const char* bytes, size_t size, uint64_t fileOffset, bool keepsTime,
                          double& recordTime, std::vector<RecordingAnnotation>& out,
                          std::string& error) {
    size_t at = 0;
    bool first = true;
    while (at < size && bytes[at] != '\0') {
        const uint64_t listOffset = fileOffset + at;
        size_t end = at;
        while (end < size && bytes[end] != '\0') ++end;
        if (end == size) {
            error = "byte " + std::to_string(listOffset) +
                    ": annotation list: expected a list closed by a 0 byte within its signal's " +
                    std::to_string(size) + " bytes of the record, got none";
            return false;
        }
        const std::string list(bytes + at, end - at);
        at = end + 1;
        const size_t textMark = list.find(kTextMark);
        if (textMark == std::string::npos) {
            error = "byte " + std::to_string(listOffset) +
                    ": annotation list: expected an onset closed by 0x14, got " + Shown(list);
            return false;
        }
        std::string timing = list.substr(0, textMark);
        double duration = -1.0;
        const size_t durationMark = timing.find(kDurationMark);
        if (durationMark != std::string::npos) {
            if (!ParseTime(timing.substr(durationMark + 1), false, duration) || duration < 0.0) {
                error = "byte " + std::to_string(listOffset) +
                        ": annotation list: expected a duration in seconds after 0x15, got " +
                        Shown(timing.substr(durationMark + 1));
                return false;
            }
            timing.resize(durationMark);
        }
        double onset = 0.0;
        if (!ParseTime(timing, true, onset)) {
            error = "byte " + std::to_string(listOffset) +
                    ": annotation list: expected an onset such as +1.25, got " + Shown(timing);
            return false;
        }
        if (first && keepsTime) recordTime = onset;
        first = false;
        for (size_t textAt = textMark + 1; textAt < list.size();) {
            size_t mark = list.find(kTextMark, textAt);
            if (mark == std::string::npos) mark = list.size();
            if (mark > textAt) out.push_back({onset, duration, list.substr(textAt, mark - textAt)});
            textAt = mark + 1;
        }
    }
    return true;
}

}  // namespace varnix::station
