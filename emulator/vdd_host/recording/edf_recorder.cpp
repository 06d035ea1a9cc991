#include "emulator/vdd_host/recording/edf_recorder.h"

#include "contract/base_frame.h"

#include "emulator/vdd_host/recording/recording_field.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <ctime>

namespace varnix::vddhost {

namespace {

// A record is the fewest whole frames lasting this long or more.
constexpr double kShortestRecordS = 0.1;
// Records held while a device lags behind the others, at least.
constexpr double kLagHeldS = 2.0;
// EDF+ record durations are counted in 10 us and may not exceed 60 s.
constexpr double kUnitsPerSecond = 1e5;
constexpr int64_t kLongestRecordUnits = 6000000;
// One base frame of the station.
// Host notes kept while the session's first sample is not known yet.
constexpr size_t kNotesHeld = 16;

// "; frameMultiple=F" when the frame period is F whole base frames: a
// replay of the file reads its frame multiple here (the record alone does
// not tell: 8 frames of 13.5 ms last as long as 4 of 27 ms).
std::string FrameMultipleNote(double framePeriodS) {
    const double multiple = framePeriodS / kBaseFramePeriodS;
    const long long whole = std::llround(multiple);
    if (whole < 1 || std::fabs(multiple - static_cast<double>(whole)) > 1e-6) return "";
    return "; frameMultiple=" + std::to_string(whole);
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

struct EdfRecorder::Session {
    int32_t id = 0;
    EdfFile file;
    std::unique_ptr<RecordAssembler> assembler;
    int64_t framePeriodNs = 0;
    std::optional<int64_t> originNs;  // CLOCK_MONOTONIC of the session's sample 0
    std::vector<std::pair<int64_t, std::string>> notes;  // host notes before the origin was known
    bool failed = false;
};

EdfRecorder::EdfRecorder(std::string path, EdfKind kind, RangeOverrides ranges, int sessions,
                         std::vector<DeviceLayout> layouts)
    : path_(std::move(path)),
      kind_(kind),
      ranges_(std::move(ranges)),
      sessions_(sessions),
      layouts_(std::move(layouts)) {}

EdfRecorder::~EdfRecorder() {
    EndSession();
}

bool EdfRecorder::KindOf(const std::string& path, EdfKind& kind) {
    const size_t dot = path.rfind('.');
    const std::string extension = dot == std::string::npos ? "" : Lower(path.substr(dot));
    if (extension == ".bdf") kind = EdfKind::kBdfPlus;
    if (extension == ".edf") kind = EdfKind::kEdfPlus;
    return extension == ".bdf" || extension == ".edf";
}

std::string EdfRecorder::PathFor(const std::string& path, int32_t session, int sessions) {
    if (sessions <= 1) return path;
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    const size_t cut =
        dot == std::string::npos || (slash != std::string::npos && dot < slash) ? path.size() : dot;
    return path.substr(0, cut) + "-s" + std::to_string(session) + path.substr(cut);
}

bool EdfRecorder::BeginSession(int32_t session, const CaptureTiming& timing) {
    EndSession();
    EdfReport report;
    report.path = PathFor(path_, session, sessions_);
    report.kind = kind_;
    report.session = session;
    const int64_t frameUnits = std::llround(timing.framePeriodS * kUnitsPerSecond);
    if (frameUnits <= 0 || frameUnits > kLongestRecordUnits) {
        report.error =
            "no frame period between 10 us and 60 s is known for session " +
            std::to_string(session) +
            " (the devices declared no usable period and value count): the file was not written";
        reports_.push_back(std::move(report));
        return false;
    }
    const int64_t frames = std::max<int64_t>(
        1, static_cast<int64_t>(std::ceil(kShortestRecordS / timing.framePeriodS - 1e-9)));
    const int64_t recordUnits =
        std::min(frameUnits * frames, frameUnits * (kLongestRecordUnits / frameUnits));
    const double recordSeconds = static_cast<double>(recordUnits) / kUnitsPerSecond;
    std::vector<int32_t> samplesPerRecord(layouts_.size(), 0);
    for (size_t d = 0; d < layouts_.size(); ++d) {
        const int32_t perFrame = d < timing.samplesPerFrame.size() ? timing.samplesPerFrame[d] : 0;
        samplesPerRecord[d] = static_cast<int32_t>(perFrame * (recordUnits / frameUnits));
        if (samplesPerRecord[d] <= 0 && !layouts_[d].streams.empty())
            report.leftOutDevices.push_back(layouts_[d].name);
    }
    std::vector<EdfSignal> signals =
        BuildSignals(layouts_, samplesPerRecord, recordSeconds, kind_, ranges_);
    report.signals = signals.size();
    report.recordSeconds = recordSeconds;
    if (signals.empty()) {
        report.error = "no device's samples per frame are known: the file was not written";
        reports_.push_back(std::move(report));
        return false;
    }
    auto open = std::make_unique<Session>();
    open->id = session;
    open->framePeriodNs = std::llround(timing.framePeriodS * 1e9);
    const RecordingSubfields recording =
        RecordingSubfieldsOf(session, sessions_, FrameMultipleNote(timing.framePeriodS));
    std::string error;
    if (!open->file.Open(report.path, kind_, signals, static_cast<int>(recordUnits), recording,
                         error)) {
        report.error = error;
        reports_.push_back(std::move(report));
        return false;
    }
    const size_t ahead = static_cast<size_t>(std::ceil(kLagHeldS / recordSeconds));
    RecordAssembler::Output& output = *this;
    open->assembler =
        std::make_unique<RecordAssembler>(std::move(signals), recordSeconds, ahead, output);
    open->file.Annotate({0.0, -1.0, "session " + std::to_string(session) + " start"});
    reports_.push_back(std::move(report));
    current_ = std::move(open);
    return true;
}

void EdfRecorder::SetOrigin(int64_t originNs) {
    Session& session = *current_;
    session.originNs = originNs;
    timespec wall{}, now{};
    clock_gettime(CLOCK_REALTIME, &wall);
    clock_gettime(CLOCK_MONOTONIC, &now);
    const int64_t ago = now.tv_sec * 1000000000LL + now.tv_nsec - originNs;
    const int64_t startNs = wall.tv_sec * 1000000000LL + wall.tv_nsec - ago;
    session.file.SetStart(timespec{static_cast<time_t>(startNs / 1000000000LL),
                                   static_cast<long>(startNs % 1000000000LL)});
    for (const auto& [timeNs, text] : session.notes) Note(timeNs, text);
    session.notes.clear();
}

void EdfRecorder::Note(int64_t hostTimeNs, const std::string& text) {
    if (!current_) return;
    Session& session = *current_;
    if (!session.originNs) {
        if (session.notes.size() < kNotesHeld) session.notes.emplace_back(hostTimeNs, text);
        return;
    }
    session.file.Annotate({static_cast<double>(hostTimeNs - *session.originNs) * 1e-9, -1.0, text});
}

void EdfRecorder::NoteOpening(size_t device, int64_t hostTimeNs) {
    if (current_) current_->assembler->Opening(device, hostTimeNs);
}

void EdfRecorder::Take(size_t device, const CapturedPush& push, const PushNotes& notes) {
    if (!current_ || push.sessionId != current_->id) {
        for (EdfReport& report : reports_) {
            if (report.session == push.sessionId && (!current_ || report.session != current_->id))
                ++report.pushesAfterClose;
        }
        return;
    }
    Session& session = *current_;
    if (session.assembler->PushedBeforeOpening(device, push.timeNs, push.samplesPerFrame)) return;
    if (!session.originNs && push.firstSampleIndex == 0) {
        // A frame's samples span the frame period before it was ready.
        SetOrigin((notes.frameReadyNs != 0 ? notes.frameReadyNs : push.timeNs) -
                  session.framePeriodNs);
    }
    if (!session.assembler->Place(device, push.firstSampleIndex, push.samplesPerFrame,
                                  push.values.data(), push.values.size(), notes.skippedBefore)) {
        ++reports_.back().pushesAfterClose;
    }
}

void EdfRecorder::BeginClosing() {
    if (current_) current_->assembler->EndAt(current_->assembler->DataSeconds());
}

bool EdfRecorder::ClosingDone() const {
    return !current_ || current_->assembler->EndReached();
}

void EdfRecorder::Record(const std::vector<int32_t>& record) {
    Session& session = *current_;
    if (session.failed) return;
    std::string error;
    if (!session.file.WriteRecord(record, error)) Fail(error);
}

void EdfRecorder::Annotation(EdfAnnotation annotation) {
    current_->file.Annotate(std::move(annotation));
}

void EdfRecorder::Fail(const std::string& error) {
    current_->failed = true;
    if (reports_.back().error.empty()) reports_.back().error = error;
}

void EdfRecorder::EndSession() {
    if (!current_) return;
    Session& session = *current_;
    RecordAssembler& assembler = *session.assembler;
    assembler.Finish();
    // Notes from a session that never got its first sample go at its start.
    for (const auto& [timeNs, text] : session.notes) session.file.Annotate({0.0, -1.0, text});
    std::string error;
    if (!session.file.Close(error)) Fail(error);
    EdfReport& report = reports_.back();
    report.records = session.file.Records();
    report.dataSeconds = assembler.DataSeconds();
    report.annotations = session.file.AnnotationsWritten();
    report.annotationsLeftOut = session.file.AnnotationsLeftOut();
    const auto& signals = assembler.Signals();
    for (size_t s = 0; s < signals.size(); ++s) {
        if (assembler.Clipped(s) > 0)
            report.clipped.emplace_back(signals[s].label, assembler.Clipped(s));
        if (s == 0 || signals[s].device != signals[s - 1].device) {
            report.devices.emplace_back(signals[s].deviceName, assembler.Device(signals[s].device));
        }
    }
    current_.reset();
}

}  // namespace varnix::vddhost
