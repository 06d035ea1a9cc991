#include "emulator/vdd_host/recording/edf_file.h"

#include <edflib.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <system_error>

namespace varnix::vddhost {

namespace {

// EDFlib prints a physical limit into its 8-character field by cutting the
// digits, not rounding them: -1.0123 (stored as -1.01229999...) would read
// "-1.01229". Nudged away from zero by far less than the last printed digit,
// a fraction prints as the text it came from; a whole number is exact as it
// is (nudged, it would gain a point and zeros: "-2000.00").
double Printable(const HeaderNumber& number) {
    return std::trunc(number.value) == number.value ? number.value : number.value * (1.0 + 1e-12);
}

std::string OpenError(int code) {
    switch (code) {
        case EDFLIB_MALLOC_ERROR:
            return "out of memory";
        case EDFLIB_NO_SUCH_FILE_OR_DIRECTORY:
            return "cannot create the file (does its folder exist?)";
        case EDFLIB_MAXFILES_REACHED:
            return "too many EDF files open";
        case EDFLIB_FILE_ALREADY_OPENED:
            return "the file is already open";
        case EDFLIB_NUMBER_OF_SIGNALS_INVALID:
            return "the number of signals is invalid";
        default:
            return "EDFlib error " + std::to_string(code);
    }
}

}  // namespace

EdfFile::~EdfFile() {
    std::string ignored;
    Close(ignored);
}

bool EdfFile::Open(const std::string& path, EdfKind kind, const std::vector<EdfSignal>& signals,
                   int recordUnits, const RecordingSubfields& recording, std::string& error) {
    const int type = kind == EdfKind::kBdfPlus ? EDFLIB_FILETYPE_BDFPLUS : EDFLIB_FILETYPE_EDFPLUS;
    handle_ = edfopen_file_writeonly(path.c_str(), type, static_cast<int>(signals.size()));
    if (handle_ < 0) {
        error = "cannot write " + path + ": " + OpenError(handle_) + ": " +
                std::generic_category().message(errno);
        handle_ = -1;
        return false;
    }
    bool ok = edf_set_datarecord_duration(handle_, recordUnits) == 0;
    for (size_t s = 0; s < signals.size() && ok; ++s) {
        const EdfSignal& signal = signals[s];
        const int n = static_cast<int>(s);
        ok = edf_set_samplefrequency(handle_, n, signal.samplesPerRecord) == 0 &&
             edf_set_physical_maximum(handle_, n, Printable(signal.range.max)) == 0 &&
             edf_set_physical_minimum(handle_, n, Printable(signal.range.min)) == 0 &&
             edf_set_digital_maximum(handle_, n, signal.digitalMax) == 0 &&
             edf_set_digital_minimum(handle_, n, signal.digitalMin) == 0 &&
             edf_set_label(handle_, n, signal.label.c_str()) == 0 &&
             edf_set_transducer(handle_, n, signal.transducer.c_str()) == 0 &&
             edf_set_physical_dimension(handle_, n, signal.dimension.c_str()) == 0;
        samplesPerRecord_.push_back(signal.samplesPerRecord);
    }
    ok = ok && edf_set_number_of_annotation_signals(handle_, kAnnotationSignals) == 0 &&
         edf_set_equipment(handle_, recording.equipment.c_str()) == 0 &&
         edf_set_recording_additional(handle_, recording.additional.c_str()) == 0;
    if (!ok) {
        error = "EDFlib refused the header of " + path + " (a signal's rate, range or label)";
        edfclose_file(handle_);
        handle_ = -1;
    }
    return ok;
}

void EdfFile::SetStart(const timespec& wallTime) {
    if (handle_ < 0 || records_ > 0) return;
    tm local{};
    localtime_r(&wallTime.tv_sec, &local);
    // Whole seconds only: with a fraction, EDFlib starts the records' time
    // at it, and readers that do not subtract it show every annotation that
    // much late.
    edf_set_startdatetime(handle_, local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                          local.tm_hour, local.tm_min, local.tm_sec);
}

bool EdfFile::WriteRecord(const std::vector<int32_t>& record, std::string& error) {
    if (handle_ < 0) return false;
    size_t at = 0;
    for (int32_t count : samplesPerRecord_) {
        // EDFlib reads the samples only; its argument is not const.
        if (edfwrite_digital_samples(handle_, const_cast<int*>(record.data() + at)) != 0) {
            error = "writing data record " + std::to_string(records_) +
                    " failed: " + std::generic_category().message(errno) + ": check the disk";
            return false;
        }
        at += static_cast<size_t>(count);
    }
    ++records_;
    FlushAnnotations();
    return true;
}

void EdfFile::Annotate(EdfAnnotation annotation) {
    if (handle_ < 0) return;
    if (pending_.size() >= kPendingKept) {
        ++annotationsLeftOut_;
        return;
    }
    pending_.push_back(std::move(annotation));
    FlushAnnotations();
}

void EdfFile::FlushAnnotations() {
    // Room: one annotation per annotation signal per record written.
    const uint64_t room = static_cast<uint64_t>(records_) * kAnnotationSignals;
    while (!pending_.empty() && annotationsWritten_ < room) {
        const EdfAnnotation& annotation = pending_.front();
        // EDFlib counts onsets and durations in 100 us.
        const long long onset = std::llround(std::max(annotation.onsetS, 0.0) * 1e4);
        const long long duration =
            annotation.durationS < 0 ? -1 : std::llround(annotation.durationS * 1e4);
        if (edfwrite_annotation_utf8(handle_, onset, duration, annotation.text.c_str()) == 0) {
            ++annotationsWritten_;
        } else {
            ++annotationsLeftOut_;
        }
        pending_.pop_front();
    }
}

bool EdfFile::Close(std::string& error) {
    if (handle_ < 0) return true;
    FlushAnnotations();
    annotationsLeftOut_ += pending_.size();
    pending_.clear();
    const int result = edfclose_file(handle_);
    handle_ = -1;
    if (result != 0) {
        error = "closing the file failed (its header may not hold the record count): " +
                std::generic_category().message(errno);
        return false;
    }
    return true;
}

}  // namespace varnix::vddhost
