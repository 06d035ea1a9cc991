#include "tests/windows/push_check.h"

#include "tests/windows/report.h"

namespace {

// Where each sensor's slice lies in a station frame, as the station says.
struct StationLayout {
    int32_t samplesPerFrame[kMaxDevices] = {};
    int32_t streams[kMaxDevices] = {};
    size_t offset[kMaxDevices] = {};
    size_t frameValues = 0;
};

StationLayout LayoutOf(const Station& station) {
    StationLayout layout;
    const size_t sensors = station.SensorCount();
    for (size_t s = 0; s < sensors && s < kMaxDevices; ++s) {
        layout.samplesPerFrame[s] = station.SamplesPerFrame(s);
        layout.streams[s] = station.StreamCount(s);
        layout.offset[s] = layout.frameValues;
        layout.frameValues +=
            static_cast<size_t>(layout.samplesPerFrame[s]) * static_cast<size_t>(layout.streams[s]);
    }
    return layout;
}

// What the walk over every push found; the first problem of each kind is
// kept for its FAIL line.
struct Findings {
    size_t pushes = 0;
    size_t devicesWithPushes = 0;
    size_t threads = 0;
    size_t onHostThread = 0;
    size_t overlapped = 0;
    size_t badHeaders = 0;
    size_t indexBreaks = 0;
    size_t checked = 0;
    size_t differing = 0;
    size_t shortDevices = 0;  // devices that lack frames delivered before Shutdown
    Text header;
    Text index;
    Text value;
    Text coverage;
    Array<win::DWORD> threadIds;
    Array<float> frame;
};

void CountThread(Findings& found, win::DWORD thread) {
    for (size_t i = 0; i < found.threadIds.Size(); ++i) {
        if (found.threadIds[i] == thread) return;
    }
    found.threadIds.Push(thread);
}

Text& Where(Text& text, const CheckedDevice& device, size_t push, const PushEntry& entry) {
    text.Add("sensor ").Unsigned(device.sensor + 1).Add(" push #").Unsigned(push);
    return text.Add(" (index ").Int(entry.firstSampleIndex).Add(")");
}

void CheckHeader(Findings& found, const CheckedDevice& device, const StationLayout& layout,
                 size_t push, const PushEntry& entry) {
    const int32_t samples = layout.samplesPerFrame[device.sensor];
    const int32_t values = samples * layout.streams[device.sensor];
    const bool good = entry.sessionId == device.sessionId && entry.samplesPerFrame == samples &&
                      entry.channelCount == device.channelCount && entry.channelsInOrder &&
                      entry.valueCount == values && entry.valuesCopied;
    if (good) return;
    if (found.badHeaders++ > 0) return;
    Text& text = found.header;
    Where(text, device, push, entry).Add(": session ").Int(entry.sessionId).Add(", ");
    text.Int(entry.samplesPerFrame).Add(" samples per frame, ").Int(entry.channelCount);
    text.Add(entry.channelsInOrder ? " channels in order, " : " channels, indices not 0..n-1, ");
    text.Int(entry.valueCount).Add(entry.valuesCopied ? " values" : " values (unreadable)");
    text.Add("; expected session ").Int(device.sessionId).Add(", ").Int(samples);
    text.Add(" samples per frame, ").Int(device.channelCount).Add(" channels 0..");
    text.Int(device.channelCount - 1).Add(", ").Int(values).Add(" values");
}

// Compares the push with its device's slice of `delivery`, byte for byte:
// sample values are opaque 4-byte quantities.
bool SliceMatches(Findings& found, const Station& station, const StationLayout& layout,
                  const CheckedDevice& device, const PushEntry& entry, const float* values,
                  uint64_t delivery, Text& why) {
    VarnixSimFrameInfo info{};
    float* frame = found.frame.Data();
    if (!station.DeliveredFrame(delivery, info, frame, layout.frameValues)) {
        why.Add("the station keeps no delivery ").Unsigned(delivery);
        return false;
    }
    const size_t count = static_cast<size_t>(entry.valueCount);
    const float* slice = frame + layout.offset[device.sensor];
    if (!entry.valuesCopied || layout.offset[device.sensor] + count > layout.frameValues) {
        why.Add("its ").Int(entry.valueCount).Add(" values do not fit the sensor's slice");
        return false;
    }
    for (size_t v = 0; v < count; ++v) {
        if (win::memcmp(&slice[v], &values[v], sizeof(float)) == 0) continue;
        uint32_t got = 0, want = 0;
        __builtin_memcpy(&got, &values[v], sizeof got);
        __builtin_memcpy(&want, &slice[v], sizeof want);
        why.Add("value ").Unsigned(v).Add(" is ").Hex(got).Add(", delivery ").Unsigned(delivery);
        why.Add(" holds ").Hex(want);
        return false;
    }
    return true;
}

// One device's first-sample indices: 0, S, 2S ... from the first push, and
// at most `restarts` restarts at 0 (a SessionOpened the frames overtook).
class Numbering {
public:
    Numbering(int64_t samplesPerFrame, int restarts)
        : samples_(samplesPerFrame), restartsLeft_(restarts) {}

    // False when `index` breaks the run.
    bool Take(int64_t index) {
        bool continues = index == expected_;
        if (!continues && index == 0 && restartsLeft_ > 0) {
            --restartsLeft_;
            runBase_ += static_cast<uint64_t>(expected_ / samples_);
            continues = true;
        }
        expected_ = index + samples_;
        return continues;
    }
    int64_t Expected() const { return expected_; }
    // The delivery the push holds, counted from the session's first; false
    // for an index that is no whole number of frames.
    bool Delivery(int64_t index, uint64_t& delivery) const {
        if (samples_ <= 0 || index < 0 || index % samples_ != 0) return false;
        delivery = runBase_ + static_cast<uint64_t>(index / samples_);
        return true;
    }

private:
    const int64_t samples_;
    int restartsLeft_;
    int64_t expected_ = 0;
    uint64_t runBase_ = 0;  // deliveries before the current numbering's 0
};

void CheckValues(Findings& found, const Station& station, const StationLayout& layout,
                 const CheckedDevice& device, size_t push, const PushEntry& entry,
                 const float* values, uint64_t delivery) {
    ++found.checked;
    Text why;
    if (SliceMatches(found, station, layout, device, entry, values, delivery, why)) return;
    if (found.differing++ == 0) Where(found.value, device, push, entry).Add(": ").Add(why);
}

// Walks one device's pushes in the order they came (a device never has two
// in flight, so that is frame order).
void CheckDevice(Findings& found, PushRecorder::Reading& reading, const Station& station,
                 const StationLayout& layout, const CheckedDevice& device,
                 const SessionWindow& window) {
    const size_t count = reading.Count(device.sensor);
    found.pushes += count;
    found.devicesWithPushes += count > 0 ? 1 : 0;
    Numbering numbering(layout.samplesPerFrame[device.sensor], window.restartAllowed ? 1 : 0);
    size_t continuous = 0;  // pushes before the first break
    bool unbroken = true;
    for (size_t p = 0; p < count; ++p) {
        const PushEntry& entry = reading.At(device.sensor, p);
        CountThread(found, entry.thread);
        found.onHostThread += entry.onHostThread ? 1 : 0;
        found.overlapped += entry.overlapped ? 1 : 0;
        CheckHeader(found, device, layout, p, entry);
        const int64_t expectedIndex = numbering.Expected();
        if (!numbering.Take(entry.firstSampleIndex)) {
            unbroken = false;
            if (found.indexBreaks++ == 0) {
                Where(found.index, device, p, entry).Add(": expected index ").Int(expectedIndex);
            }
        }
        continuous += unbroken ? 1 : 0;
        uint64_t delivery = 0;
        if (numbering.Delivery(entry.firstSampleIndex, delivery)) {
            CheckValues(found, station, layout, device, p, entry, reading.Values(entry),
                        window.firstDelivery + delivery);
        }
    }
    const size_t due = static_cast<size_t>(window.deliveredBefore - window.firstDelivery);
    if (continuous < due && found.shortDevices++ == 0) {
        found.coverage.Add("sensor ").Unsigned(device.sensor + 1).Add(" has ").Unsigned(continuous);
        found.coverage.Add(" consecutive frames of the ").Unsigned(due).Add(" delivered");
    }
}

void Report(const Findings& found, size_t deviceCount, const SessionWindow& window) {
    Text what("pushes reached every accepted device: ");
    what.Unsigned(found.pushes).Add(" pushes to ").Unsigned(found.devicesWithPushes);
    what.Add(" devices from ")
        .Unsigned(found.threadIds.Size())
        .Add(" plug-in threads, none on the host's thread, never two at once for one device");
    Text detail("devices with pushes ");
    detail.Unsigned(found.devicesWithPushes).Add(" of ").Unsigned(deviceCount);
    detail.Add(", pushes on the host's thread ").Unsigned(found.onHostThread);
    detail.Add(", pushes overlapping another of the same device ").Unsigned(found.overlapped);
    report::Check(
        found.devicesWithPushes == deviceCount && found.onHostThread == 0 && found.overlapped == 0,
        what, detail);

    Text badHeaders;
    badHeaders.Unsigned(found.badHeaders).Add(" pushes wrong, first: ").Add(found.header);
    report::Check(found.badHeaders == 0,
                  "every push carries its device's session id, the station's samples per frame, "
                  "channel indices 0..n-1 and the slice's value count",
                  badHeaders.c_str());

    Text breaks;
    breaks.Unsigned(found.indexBreaks).Add(" breaks, first: ").Add(found.index);
    report::Check(found.indexBreaks == 0, "first-sample indices run 0, S, 2S ... on every device",
                  breaks.c_str());

    Text covered("every frame delivered before Shutdown reached every accepted device (");
    covered.Unsigned(window.deliveredBefore - window.firstDelivery).Add(" frames)");
    report::Check(found.shortDevices == 0, covered, found.coverage);

    Text values("pushes hold the station's frames value for value: ");
    values.Unsigned(found.checked).Add(" pushes checked, ").Unsigned(found.differing);
    values.Add(" differed");
    Text first("first: ");
    first.Add(found.value);
    report::Check(found.checked > 0 && found.differing == 0, values,
                  found.checked == 0 ? Text("no push could be checked") : first);
}

}  // namespace

void CheckPushes(PushRecorder& recorder, const Station& station, const CheckedDevice* devices,
                 size_t deviceCount, const SessionWindow& window) {
    const StationLayout layout = LayoutOf(station);
    Findings* found = new Findings;
    for (size_t v = 0; v < layout.frameValues; ++v) found->frame.Push(0.0f);
    VarnixSimFrameInfo first{};
    const bool kept = station.DeliveredFrame(window.firstDelivery, first, nullptr, 0);
    Text firstDetail;
    firstDetail.Add(kept ? "its produced-frame number is " : "the station keeps no delivery ");
    firstDetail.Unsigned(kept ? first.frameSequence : window.firstDelivery);
    report::Check(kept && first.frameSequence == 0,
                  "the session's first delivered frame is the station's first after its start",
                  firstDetail.c_str());
    {
        PushRecorder::Reading reading(recorder);
        for (size_t d = 0; d < deviceCount; ++d) {
            CheckDevice(*found, reading, station, layout, devices[d], window);
        }
    }
    Report(*found, deviceCount, window);
    delete found;
}
