#include "emulator/vdd_host/recording/recording_comparison.h"

#include <edflib.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <tuple>

namespace varnix::vddhost {

namespace {

struct Annotation {
    long long onset = 0;  // 100 ns
    std::string duration;
    std::string text;
    bool operator<(const Annotation& other) const {
        return std::tie(onset, text, duration) < std::tie(other.onset, other.text, other.duration);
    }
    bool operator==(const Annotation& other) const {
        return onset == other.onset && text == other.text && duration == other.duration;
    }
};

// `text` is `head`, then a middle of which `fits` approves every character
// (and at least one when `nonEmpty`), then `tail`.
template <typename Fits>
bool Framed(const std::string& text, const std::string& head, const std::string& tail,
            bool nonEmpty, Fits fits) {
    if (text.size() < head.size() + tail.size() + (nonEmpty ? 1 : 0)) return false;
    if (text.compare(0, head.size(), head) != 0) return false;
    if (text.compare(text.size() - tail.size(), tail.size(), tail) != 0) return false;
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(head.size()),
                       text.end() - static_cast<std::ptrdiff_t>(tail.size()), fits);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string OpenError(int code) {
    switch (code) {
        case EDFLIB_NO_SUCH_FILE_OR_DIRECTORY:
            return "no such file";
        case EDFLIB_FILE_CONTAINS_FORMAT_ERRORS:
            return "not a valid EDF+/BDF+ file (format errors)";
        case EDFLIB_FILE_READ_ERROR:
            return "a read error";
        case EDFLIB_FILETYPE_ERROR:
            return "not an EDF or BDF file";
        case EDFLIB_FILE_IS_DISCONTINUOUS:
            return "a discontinuous (EDF+D/BDF+D) file";
        case EDFLIB_MALLOC_ERROR:
            return "out of memory";
        default:
            return "EDFlib error " + std::to_string(code);
    }
}

std::string KindName(int filetype) {
    switch (filetype) {
        case EDFLIB_FILETYPE_EDF:
            return "EDF";
        case EDFLIB_FILETYPE_EDFPLUS:
            return "EDF+";
        case EDFLIB_FILETYPE_BDF:
            return "BDF";
        case EDFLIB_FILETYPE_BDFPLUS:
            return "BDF+";
        default:
            return "?";
    }
}

// EDFlib hands the header's text fields back with their padding.
std::string Trimmed(const char* text) {
    std::string trimmed(text);
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
    return trimmed;
}

std::string Seconds(long long units) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", static_cast<double>(units) / EDFLIB_TIME_DIMENSION);
    return text;
}

// One file open for reading; closed on every way out.
class OpenFile {
public:
    bool Open(const std::string& path, std::string& error) {
        header_ = std::make_unique<edf_hdr_struct>();
        if (edfopen_file_readonly(path.c_str(), header_.get(), EDFLIB_READ_ALL_ANNOTATIONS) != 0) {
            error = "cannot read " + path + ": " + OpenError(header_->filetype);
            return false;
        }
        open_ = true;
        return true;
    }
    ~OpenFile() {
        if (open_) edfclose_file(header_->handle);
    }
    const edf_hdr_struct& Header() const { return *header_; }
    int Handle() const { return header_->handle; }

    // The annotations in time order, without those that describe the capture
    // rather than the signals: its session starts and its measure of the
    // station's clock (a replay measures its own).
    std::vector<Annotation> Annotations() const {
        std::vector<Annotation> list;
        for (long long i = 0; i < header_->annotations_in_file; ++i) {
            edf_annotation_struct annotation{};
            if (edf_get_annotation(Handle(), static_cast<int>(i), &annotation) != 0) continue;
            if (DescribesTheCapture(annotation.annotation)) continue;
            list.push_back({annotation.onset, annotation.duration, annotation.annotation});
        }
        std::sort(list.begin(), list.end());
        return list;
    }

private:
    std::unique_ptr<edf_hdr_struct> header_;
    bool open_ = false;
};

void CompareHeaders(const edf_hdr_struct& a, const edf_hdr_struct& b,
                    std::vector<std::string>& differences) {
    const auto differ = [&differences](const std::string& what, const std::string& first,
                                       const std::string& second) {
        if (first != second) differences.push_back(what + ": " + first + " vs " + second);
    };
    differ("file kind", KindName(a.filetype), KindName(b.filetype));
    differ("record duration", Seconds(a.datarecord_duration), Seconds(b.datarecord_duration));
    differ("data records", std::to_string(a.datarecords_in_file),
           std::to_string(b.datarecords_in_file));
    differ("signals", std::to_string(a.edfsignals), std::to_string(b.edfsignals));
    for (int s = 0; s < std::min(a.edfsignals, b.edfsignals); ++s) {
        const edf_param_struct& x = a.signalparam[s];
        const edf_param_struct& y = b.signalparam[s];
        const std::string which =
            "signal " + std::to_string(s + 1) + " \"" + Trimmed(x.label) + "\" ";
        differ(which + "label", Trimmed(x.label), Trimmed(y.label));
        differ(which + "transducer", Trimmed(x.transducer), Trimmed(y.transducer));
        differ(which + "dimension", Trimmed(x.physdimension), Trimmed(y.physdimension));
        differ(which + "samples per record", std::to_string(x.smp_in_datarecord),
               std::to_string(y.smp_in_datarecord));
        char range[2][96];
        std::snprintf(range[0], sizeof range[0], "%.10g..%.10g digital %d..%d", x.phys_min,
                      x.phys_max, x.dig_min, x.dig_max);
        std::snprintf(range[1], sizeof range[1], "%.10g..%.10g digital %d..%d", y.phys_min,
                      y.phys_max, y.dig_min, y.dig_max);
        differ(which + "range", range[0], range[1]);
    }
}

// Every digital sample of the records and signals both files hold, record
// by record; the first difference of each signal is told.
void CompareSamples(const OpenFile& a, const OpenFile& b, RecordingComparison& result) {
    const edf_hdr_struct& x = a.Header();
    const edf_hdr_struct& y = b.Header();
    const int signals = std::min(x.edfsignals, y.edfsignals);
    const long long records = std::min(x.datarecords_in_file, y.datarecords_in_file);
    std::vector<int> first, second;
    std::vector<uint64_t> differing(static_cast<size_t>(std::max(signals, 0)), 0);
    for (long long r = 0; r < records; ++r) {
        for (int s = 0; s < signals; ++s) {
            const int count = x.signalparam[s].smp_in_datarecord;
            if (count != y.signalparam[s].smp_in_datarecord) continue;
            first.resize(static_cast<size_t>(count));
            second.resize(static_cast<size_t>(count));
            if (edfread_digital_samples(a.Handle(), s, count, first.data()) != count ||
                edfread_digital_samples(b.Handle(), s, count, second.data()) != count) {
                result.differences.push_back("signal " + std::to_string(s + 1) + ": record " +
                                             std::to_string(r) +
                                             " could not be read from both files");
                return;
            }
            result.samples += static_cast<uint64_t>(count);
            for (int i = 0; i < count; ++i) {
                if (first[i] == second[i]) continue;
                if (differing[s]++ == 0) {
                    const long long sample = r * count + i;
                    char line[256];
                    std::snprintf(
                        line, sizeof line, "signal %d \"%s\": sample %lld (%.4f s) is %d vs %d",
                        s + 1, Trimmed(x.signalparam[s].label).c_str(), sample,
                        static_cast<double>(sample) * static_cast<double>(x.datarecord_duration) /
                            EDFLIB_TIME_DIMENSION / count,
                        first[i], second[i]);
                    result.differences.push_back(line);
                }
                ++result.samplesDiffering;
            }
        }
    }
    for (int s = 0; s < signals; ++s) {
        if (differing[s] > 1) {
            result.differences.push_back(
                "signal " + std::to_string(s + 1) + " \"" + x.signalparam[s].label +
                "\": " + std::to_string(differing[s]) + " samples differ in all");
        }
    }
}

void CompareAnnotations(const OpenFile& a, const OpenFile& b, RecordingComparison& result) {
    const std::vector<Annotation> first = a.Annotations();
    const std::vector<Annotation> second = b.Annotations();
    result.annotations = first.size();
    const auto tell = [&result](const Annotation& annotation, const char* where) {
        result.differences.push_back(
            "annotation \"" + annotation.text + "\" at " + Seconds(annotation.onset) + " s" +
            (annotation.duration.empty() ? "" : " for " + annotation.duration + " s") +
            " only in the " + where + " file");
    };
    size_t i = 0, j = 0;
    while (i < first.size() || j < second.size()) {
        if (j == second.size() || (i < first.size() && first[i] < second[j])) {
            tell(first[i++], "first");
        } else if (i == first.size() || second[j] < first[i]) {
            tell(second[j++], "second");
        } else {
            ++i;
            ++j;
        }
    }
}

}  // namespace

bool DescribesTheCapture(const std::string& text) {
    const auto any = [](char) { return true; };
    const auto decimal = [](char c) { return IsDigit(c) || c == '.'; };
    return Framed(text, "session ", " start", true, IsDigit) ||
           Framed(text, "clock drift ", " ppm", false, any) ||
           Framed(text, "frame period ", " ms", true, decimal);
}

RecordingComparison CompareRecordings(const std::string& first, const std::string& second) {
    RecordingComparison result;
    OpenFile a, b;
    if (!a.Open(first, result.error) || !b.Open(second, result.error)) return result;
    result.readable = true;
    result.kind = KindName(a.Header().filetype);
    result.signals = a.Header().edfsignals;
    result.records = a.Header().datarecords_in_file;
    result.recordSeconds =
        static_cast<double>(a.Header().datarecord_duration) / EDFLIB_TIME_DIMENSION;
    CompareHeaders(a.Header(), b.Header(), result.differences);
    CompareSamples(a, b, result);
    CompareAnnotations(a, b, result);
    return result;
}

void PrintComparison(const RecordingComparison& comparison, const std::string& first,
                     const std::string& second, size_t shown, std::ostream& out) {
    if (!comparison.readable) {
        out << "vdd-host: " << comparison.error << "\n";
        return;
    }
    char line[512];
    std::snprintf(line, sizeof line,
                  "%s and %s: %s, %lld signals, %lld records of %g s: %llu samples compared "
                  "(%llu differ), %llu annotations (session starts left out)",
                  first.c_str(), second.c_str(), comparison.kind.c_str(),
                  static_cast<long long>(comparison.signals),
                  static_cast<long long>(comparison.records), comparison.recordSeconds,
                  static_cast<unsigned long long>(comparison.samples),
                  static_cast<unsigned long long>(comparison.samplesDiffering),
                  static_cast<unsigned long long>(comparison.annotations));
    out << line << "\n";
    for (size_t d = 0; d < comparison.differences.size() && d < shown; ++d) {
        out << "  " << comparison.differences[d] << "\n";
    }
    if (comparison.differences.size() > shown) {
        out << "  ... and " << comparison.differences.size() - shown << " more differences\n";
    }
    if (comparison.differences.empty()) {
        out << "vdd-host: SAME: every sample, rate, label, unit and range, and every annotation "
               "but the session start\n";
    } else {
        out << "vdd-host: DIFFERENT: " << comparison.differences.front() << "\n";
    }
}

}  // namespace varnix::vddhost
