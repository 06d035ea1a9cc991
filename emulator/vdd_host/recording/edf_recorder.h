// --edf FILE: every session of the capture as an EDF+ (.edf, 16-bit) or BDF+
// (.bdf, 24-bit) file, written record by record while the capture runs.
//
// A data record is a whole number of the station's frames (the fewest that
// last 0.1 s or more: 8 frames of 13.5 ms = 108 ms), so every signal has a
// whole number of samples per record and its rate in the file is exact
// (26 samples a frame: 208 per 0.108 s = 1925.926 Hz). With several
// sessions each goes to its own file, "-s<N>" before the extension.
// Annotations: the session's start, the start and stop pulses the host sent,
// an early stop, and every run of lost or clipped samples (see
// record_assembler.h), each at its time in the file.
#pragma once

#include "emulator/vdd_host/common/capture_timing.h"
#include "emulator/vdd_host/common/device_layout.h"
#include "emulator/vdd_host/common/push_sink.h"
#include "emulator/vdd_host/recording/edf_file.h"
#include "emulator/vdd_host/recording/physical_ranges.h"
#include "emulator/vdd_host/recording/record_assembler.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace varnix::vddhost {

// What one session's file ended up holding, for the summary.
struct EdfReport {
    std::string path;
    EdfKind kind = EdfKind::kBdfPlus;
    int32_t session = 0;
    size_t signals = 0;
    int64_t records = 0;
    double recordSeconds = 0.0;
    double dataSeconds = 0.0;
    uint64_t annotations = 0;
    uint64_t annotationsLeftOut = 0;
    std::vector<std::pair<std::string, uint64_t>> clipped;  // label -> samples, nonzero only
    std::vector<std::pair<std::string, DeviceAssembly>>
        devices;                              // name -> what became of its samples
    std::vector<std::string> leftOutDevices;  // devices with no samples per frame known
    uint64_t pushesAfterClose = 0;
    std::string error;  // "" when the file is complete
};

// [host] Every member runs on the host's main thread (Take from
// PushChecker::Drain). Writes to disk as records fill; holds at most a few
// seconds of records and the annotations waiting for room.
class EdfRecorder final : public PushSink, private RecordAssembler::Output {
public:
    EdfRecorder(std::string path, EdfKind kind, RangeOverrides ranges, int sessions,
                std::vector<DeviceLayout> layouts);
    ~EdfRecorder() override;

    // ".bdf" -> BDF+, ".edf" -> EDF+ (any case); false for anything else.
    static bool KindOf(const std::string& path, EdfKind& kind);
    // The file of `session`: `path` itself with one session, else with
    // "-s<session>" before the extension ("capture-s2.bdf").
    static std::string PathFor(const std::string& path, int32_t session, int sessions);

    // After every device's DeclareSession, before SessionOpened: opens the
    // session's file. False when it cannot (the report says why).
    bool BeginSession(int32_t session, const CaptureTiming& timing);
    // The host calls SessionOpened on `device` right after `hostTimeNs`:
    // the device's pushes of the session that began before carry the
    // numbering of before it and are left out (counted).
    void NoteOpening(size_t device, int64_t hostTimeNs);
    // Something the host did at `hostTimeNs` (CLOCK_MONOTONIC): an annotation
    // at that time in the open file.
    void Note(int64_t hostTimeNs, const std::string& text);
    void Take(size_t device, const CapturedPush& push, const PushNotes& notes) override;
    // The session has closed: its file ends where the furthest device is
    // now. Pushes still under way may bring the others there; later ones
    // are counted, not written.
    void BeginClosing();
    // Every device has reached the end BeginClosing set (true without a session).
    bool ClosingDone() const;
    // Writes the rest of the session's records and closes its file (from
    // where the devices are, when BeginClosing was not called). Pushes of
    // the session that come later are counted, not written.
    void EndSession();

    const std::vector<EdfReport>& Reports() const { return reports_; }

private:
    struct Session;

    void Record(const std::vector<int32_t>& record) override;
    void Annotation(EdfAnnotation annotation) override;
    void SetOrigin(int64_t originNs);
    void Fail(const std::string& error);

    const std::string path_;
    const EdfKind kind_;
    const RangeOverrides ranges_;
    const int sessions_;
    std::vector<DeviceLayout> layouts_;
    std::unique_ptr<Session> current_;  // the open session's file, or null
    std::vector<EdfReport> reports_;    // one per session begun, closed ones complete
};

}  // namespace varnix::vddhost
