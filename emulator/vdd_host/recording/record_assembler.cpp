#include "emulator/vdd_host/recording/record_assembler.h"

#include <algorithm>
#include <cmath>

namespace varnix::vddhost {

RecordAssembler::RecordAssembler(std::vector<EdfSignal> signals, double recordSeconds,
                                 size_t recordsAhead, Output& output)
    : signals_(std::move(signals)), recordSeconds_(recordSeconds), output_(output) {
    for (size_t s = 0; s < signals_.size(); ++s) {
        const EdfSignal& signal = signals_[s];
        offsets_.push_back(recordSize_);
        fills_.push_back(FillDigital(signal));
        recordSize_ += static_cast<size_t>(signal.samplesPerRecord);
        if (signal.device >= devices_.size()) devices_.resize(signal.device + 1);
        State& device = devices_[signal.device];
        if (!device.present) {
            device.present = true;
            device.firstSignal = s;
            device.perRecord = signal.samplesPerRecord;
            device.rateHz = signal.rateHz;
        }
        ++device.streams;
    }
    clips_.resize(signals_.size());
    ring_.resize(std::max<size_t>(recordsAhead, 2));
    for (auto& slot : ring_) Refill(slot);
}

void RecordAssembler::Refill(std::vector<int32_t>& slot) const {
    slot.resize(recordSize_);
    for (size_t s = 0; s < signals_.size(); ++s) {
        std::fill_n(slot.begin() + static_cast<ptrdiff_t>(offsets_[s]),
                    signals_[s].samplesPerRecord, fills_[s]);
    }
}

std::string RecordAssembler::Fit(std::string text) const {
    if (text.size() > EdfFile::kAnnotationWidth) text.resize(EdfFile::kAnnotationWidth);
    return text;
}

void RecordAssembler::Opening(size_t device, int64_t hostTimeNs) {
    if (device < devices_.size()) devices_[device].openingNs = hostTimeNs;
}

bool RecordAssembler::PushedBeforeOpening(size_t device, int64_t pushTimeNs,
                                          int32_t samplesPerFrame) {
    if (device >= devices_.size() || !devices_[device].present) return false;
    State& state = devices_[device];
    if (!state.openingNs || pushTimeNs >= *state.openingNs) return false;
    state.counts.beforeStart += static_cast<uint64_t>(std::max(samplesPerFrame, 0));
    return true;
}

bool RecordAssembler::Place(size_t device, int64_t firstSampleIndex, int32_t samplesPerFrame,
                            const float* values, size_t valueCount, uint64_t skippedBefore) {
    if (device >= devices_.size() || !devices_[device].present || samplesPerFrame <= 0) return true;
    State& state = devices_[device];
    const int64_t samples = samplesPerFrame;
    const std::string& name = signals_[state.firstSignal].deviceName;
    if (skippedBefore > 0) {
        state.counts.skippedFrames += skippedBefore;
        output_.Annotation({static_cast<double>(state.next) / state.rateHz, -1.0,
                            Fit(name + ": " + std::to_string(skippedBefore) + " frames skipped")});
    }
    if (!state.started) {
        if (firstSampleIndex != 0) {
            state.counts.beforeStart += static_cast<uint64_t>(samples);
            return true;
        }
        state.started = true;
    } else if (firstSampleIndex == 0 && state.indexEnd > 0) {
        state.base = state.next;
        ++state.counts.restarts;
        output_.Annotation({static_cast<double>(state.next) / state.rateHz, -1.0,
                            Fit(name + ": numbering restarted")});
    }
    state.indexEnd = firstSampleIndex + samples;
    const int64_t start = state.base + firstSampleIndex;
    if (state.limit >= 0 && std::max(start, state.next) >= state.limit) return false;
    const int64_t skip = std::clamp<int64_t>(state.next - start, 0, samples);
    state.counts.notPlaced += static_cast<uint64_t>(skip);
    if (skip == samples) return true;
    if (start > state.next) AddLost(state, state.next, start - state.next);
    state.next = std::max(state.next, start);
    const int64_t lastRecord = (start + samples - 1) / state.perRecord;
    while (lastRecord >= firstRecord_ + static_cast<int64_t>(ring_.size())) ForceOldest();
    // ForceOldest may have moved this device on as well, when it lagged.
    const int64_t from = std::max(start + skip, state.next);
    const int64_t until =
        state.limit >= 0 ? std::min(start + samples, state.limit) : start + samples;
    CopyIn(state, values, valueCount, start, samples, from, until);
    if (from < until) {
        state.counts.placed += static_cast<uint64_t>(until - from);
        state.counts.notPlaced += static_cast<uint64_t>(from - (start + skip));
        EndLostRun(state);
        state.next = until;
    }
    TryWrite();
    return true;
}

void RecordAssembler::CopyIn(const State& state, const float* values, size_t valueCount,
                             int64_t start, int64_t samples, int64_t from, int64_t until) {
    for (size_t j = 0; j < state.streams; ++j) {
        const size_t signal = state.firstSignal + j;
        for (int64_t position = from; position < until; ++position) {
            const size_t at =
                j * static_cast<size_t>(samples) + static_cast<size_t>(position - start);
            if (values == nullptr || at >= valueCount) break;
            const int64_t record = position / state.perRecord;
            std::vector<int32_t>& slot =
                ring_[static_cast<size_t>(record % static_cast<int64_t>(ring_.size()))];
            bool clipped = false;
            slot[offsets_[signal] + static_cast<size_t>(position % state.perRecord)] =
                ToDigital(values[at], signals_[signal], clipped);
            if (clipped) Clip(signal, position);
        }
    }
}

void RecordAssembler::EndAt(double endS) {
    endS_ = endS;
    for (State& device : devices_) {
        if (device.present) device.limit = std::llround(endS * device.rateHz);
    }
}

bool RecordAssembler::EndReached() const {
    for (const State& device : devices_) {
        if (device.present && device.limit >= 0 && device.next < device.limit) return false;
    }
    return true;
}

void RecordAssembler::AddLost(State& device, int64_t from, int64_t length) {
    if (length <= 0) return;
    device.counts.lost += static_cast<uint64_t>(length);
    if (device.lost.count > 0 && device.lost.end == from) {
        device.lost.end += length;
        device.lost.count += static_cast<uint64_t>(length);
        return;
    }
    EndLostRun(device);
    device.lost = Run{from, from + length, static_cast<uint64_t>(length), 0};
}

void RecordAssembler::EndLostRun(State& device) {
    if (device.lost.count == 0) return;
    const Run& run = device.lost;
    output_.Annotation({static_cast<double>(run.first) / device.rateHz,
                        static_cast<double>(run.end - run.first) / device.rateHz,
                        Fit("lost " + signals_[device.firstSignal].deviceName + ": " +
                            std::to_string(run.count) + " samples")});
    device.lost.count = 0;
}

void RecordAssembler::Clip(size_t signal, int64_t position) {
    Run& run = clips_[signal];
    ++run.total;
    // Runs less than a second apart are one annotation.
    if (run.count > 0 && static_cast<double>(position - run.end) <= signals_[signal].rateHz) {
        run.end = position + 1;
        ++run.count;
        return;
    }
    EndClipRun(signal);
    run.first = position;
    run.end = position + 1;
    run.count = 1;
}

void RecordAssembler::EndClipRun(size_t signal) {
    Run& run = clips_[signal];
    if (run.count == 0) return;
    const double rate = signals_[signal].rateHz;
    output_.Annotation(
        {static_cast<double>(run.first) / rate, static_cast<double>(run.end - run.first) / rate,
         Fit("clipped " + signals_[signal].label + ": " + std::to_string(run.count))});
    run.count = 0;
}

void RecordAssembler::TryWrite() {
    for (;;) {
        for (const State& device : devices_) {
            if (device.present && device.next < (firstRecord_ + 1) * device.perRecord) return;
        }
        if (signals_.empty()) return;
        WriteOldest();
    }
}

void RecordAssembler::ForceOldest() {
    for (State& device : devices_) {
        if (!device.present) continue;
        const int64_t end = (firstRecord_ + 1) * device.perRecord;
        if (device.next < end) {
            AddLost(device, device.next, end - device.next);
            device.next = end;
        }
    }
    WriteOldest();
}

void RecordAssembler::WriteOldest() {
    std::vector<int32_t>& slot =
        ring_[static_cast<size_t>(firstRecord_ % static_cast<int64_t>(ring_.size()))];
    output_.Record(slot);
    Refill(slot);
    ++firstRecord_;
}

double RecordAssembler::DataSeconds() const {
    double seconds = 0.0;
    for (const State& device : devices_) {
        if (device.present)
            seconds = std::max(seconds, static_cast<double>(device.next) / device.rateHz);
    }
    return seconds;
}

void RecordAssembler::Finish() {
    const double end = endS_ >= 0 ? endS_ : DataSeconds();
    int64_t records = 0;
    for (State& device : devices_) {
        if (!device.present) continue;
        const int64_t last = std::llround(end * device.rateHz);
        if (device.next < last) {
            const int64_t lastRecord = (last - 1) / device.perRecord;
            while (lastRecord >= firstRecord_ + static_cast<int64_t>(ring_.size())) ForceOldest();
            AddLost(device, device.next, last - device.next);
            device.next = last;
        }
        EndLostRun(device);
        records = std::max(records, (device.next + device.perRecord - 1) / device.perRecord);
    }
    while (firstRecord_ < records) WriteOldest();
    const double padding = static_cast<double>(records) * recordSeconds_ - end;
    if (padding > 1e-9) output_.Annotation({end, padding, "recording ends; padding follows"});
    for (size_t s = 0; s < clips_.size(); ++s) EndClipRun(s);
}

bool RecordAssembler::Started(size_t device) const {
    return device < devices_.size() && devices_[device].started;
}

const DeviceAssembly& RecordAssembler::Device(size_t device) const {
    static const DeviceAssembly kNone;
    return device < devices_.size() ? devices_[device].counts : kNone;
}

}  // namespace varnix::vddhost
