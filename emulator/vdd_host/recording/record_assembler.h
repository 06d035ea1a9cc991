// Lays the pushes of one session into whole data records of an EDF+/BDF+
// file as they arrive, so only a few seconds of records are ever held.
//
// A device's sample k (its first-sample index plus the place in the push)
// lands at time k / rate from the session's first sample: the index is the
// host's timeline, as the plug-in numbers it from SessionOpened. So:
//  - pushes of a device before its first push at index 0 belong to the
//    numbering of before the session and are left out (counted), and so
//    are pushes that began before the host opened the session (Opening);
//  - a forward jump in the index leaves a hole: the samples are written as
//    the digital value nearest 0, counted as lost and annotated;
//  - a push at places already filled or already written is left out
//    (counted); a restart at 0 later in the session continues after the
//    device's last sample (counted, annotated);
//  - a record is written once every device has passed its end, or once a
//    device is `recordsAhead` records further on (the lagging devices' part
//    of it is then lost);
//  - values outside a signal's physical range are clipped, counted per
//    signal and annotated, one annotation per run of clipped samples less
//    than a second apart.
// Pure: no file; records and annotations go to an Output.
#pragma once

#include "emulator/vdd_host/recording/edf_file.h"
#include "emulator/vdd_host/recording/edf_signals.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnix::vddhost {

// What became of one device's pushed samples, per stream.
struct DeviceAssembly {
    uint64_t placed = 0;         // in the file
    uint64_t lost = 0;           // holes in the file where the device had no sample
    uint64_t beforeStart = 0;    // pushed before the device's numbering began at 0
    uint64_t notPlaced = 0;      // repeated a place, or came after their record was written
    uint64_t skippedFrames = 0;  // frames the checker saw skipped while the index went on
    uint64_t restarts = 0;       // numbering restarted at 0 within the session
};

// [host] One thread only. Place and Finish allocate only for annotations.
class RecordAssembler {
public:
    class Output {
    public:
        virtual ~Output() = default;
        // Every signal's samplesPerRecord digital samples, signal after signal; lent for the call.
        virtual void Record(const std::vector<int32_t>& record) = 0;
        virtual void Annotation(EdfAnnotation annotation) = 0;
    };

    RecordAssembler(std::vector<EdfSignal> signals, double recordSeconds, size_t recordsAhead,
                    Output& output);

    // The host is about to reset `device`'s numbering for this session
    // (SessionOpened), at `hostTimeNs`. A push that began before it carries
    // the numbering of before the session, even one that starts at 0 (a
    // device's first pushes, when the station streamed before the host
    // opened the session): see PushedBeforeOpening.
    void Opening(size_t device, int64_t hostTimeNs);
    // True, and the push's samples counted as before the start, when the
    // host noted the device's opening and the push began (`pushTimeNs`)
    // before it. False for every push of a device whose opening was never
    // noted: then the numbering alone tells.
    bool PushedBeforeOpening(size_t device, int64_t pushTimeNs, int32_t samplesPerFrame);

    // One push of host device `device`; values stream-major, as pushed.
    // Devices without signals in the file are ignored. False when the push
    // lies wholly at or after the end set by EndAt (nothing placed).
    bool Place(size_t device, int64_t firstSampleIndex, int32_t samplesPerFrame,
               const float* values, size_t valueCount, uint64_t skippedBefore);

    // The session ends at `endS` (in the file's time): later samples are
    // left out. Lets the devices still behind catch up to a common end, when
    // the last pass of frames was under way as the session closed.
    void EndAt(double endS);
    // Every device has reached the end set by EndAt.
    bool EndReached() const;

    // Writes every record up to the end (EndAt's, else the furthest sample
    // any device reached), the rest of the last one as padding, and the
    // annotations still open.
    void Finish();

    // Seconds of data: the furthest sample any device reached.
    double DataSeconds() const;
    bool Started(size_t device) const;
    const DeviceAssembly& Device(size_t device) const;
    uint64_t Clipped(size_t signal) const { return clips_.at(signal).total; }
    const std::vector<EdfSignal>& Signals() const { return signals_; }

private:
    struct Run {  // a stretch of lost or clipped samples, positions in samples
        int64_t first = -1;
        int64_t end = -1;
        uint64_t count = 0;
        uint64_t total = 0;
    };
    struct State {
        bool present = false;
        size_t firstSignal = 0;
        size_t streams = 0;
        int64_t perRecord = 0;
        double rateHz = 0.0;
        bool started = false;
        int64_t base = 0;                  // position of index 0
        int64_t indexEnd = 0;              // index after the last push
        int64_t next = 0;                  // next position to fill
        int64_t limit = -1;                // first position after the end; < 0: none
        std::optional<int64_t> openingNs;  // when the host reset the numbering, if noted
        Run lost;
        DeviceAssembly counts;
    };

    // Digitises the push's values from sample `from` to `until` (positions
    // in the device's numbering; the push starts at `start`) into the ring.
    void CopyIn(const State& state, const float* values, size_t valueCount, int64_t start,
                int64_t samples, int64_t from, int64_t until);
    void AddLost(State& device, int64_t from, int64_t length);
    void EndLostRun(State& device);
    void Clip(size_t signal, int64_t position);
    void EndClipRun(size_t signal);
    void TryWrite();
    void ForceOldest();
    void WriteOldest();
    void Refill(std::vector<int32_t>& slot) const;
    std::string Fit(std::string text) const;

    std::vector<EdfSignal> signals_;
    std::vector<size_t> offsets_;  // each signal's place in a record
    std::vector<int32_t> fills_;   // each signal's fill value
    size_t recordSize_ = 0;
    double recordSeconds_ = 0.0;
    std::vector<State> devices_;  // by host device index
    std::vector<Run> clips_;      // by signal
    std::vector<std::vector<int32_t>>
        ring_;  // records firstRecord_ .. firstRecord_ + ring_.size() - 1
    int64_t firstRecord_ = 0;
    double endS_ = -1.0;  // < 0: no end set
    Output& output_;
};

}  // namespace varnix::vddhost
