#include "replay_layout.h"

#include "contract/base_frame.h"
#include "recording_units.h"
#include "station_geometry.h"

#include <cstdio>
#include <cstdlib>
#include <set>

namespace varnix::station {

namespace {

constexpr int32_t kMaxFrameMultiple = 1000;
constexpr const char* kFrameMultipleNote = "frameMultiple=";

struct SignalNames {
    size_t signal = 0;
    std::string sensor, channel, component;
};

// "<a>|<b>|<c>" with "\|" and "\\" inside names; false unless three names.
bool SplitTransducer(const std::string& text, SignalNames& names) {
    std::string* parts[3] = {&names.sensor, &names.channel, &names.component};
    size_t part = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            *parts[part] += text[++i];
        } else if (text[i] == '|') {
            if (++part == 3) return false;
        } else {
            *parts[part] += text[i];
        }
    }
    return part == 2;
}

std::string Quoted(const RecordingSignal& signal, size_t index) {
    return "signal " + std::to_string(index + 1) + " \"" + signal.label + "\"";
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

std::vector<SignalNames> NameSignals(const RecordingHeader& header, GroupRule rule) {
    std::vector<SignalNames> named;
    std::set<std::string> labels;
    for (size_t s = 0; s < header.signals.size(); ++s) {
        const RecordingSignal& signal = header.signals[s];
        if (signal.annotations) continue;
        SignalNames names;
        names.signal = s;
        if (rule == GroupRule::kNames && SplitTransducer(signal.transducer, names)) {
            named.push_back(names);
            continue;
        }
        std::string label = signal.label;
        const size_t space = label.rfind(' ');
        if (rule == GroupRule::kLabel && space != std::string::npos && space > 0) {
            names.sensor = names.channel = label.substr(0, space);
            names.component = label.substr(space + 1);
        } else {
            if (label.empty()) label = "signal " + std::to_string(s + 1);
            if (!labels.insert(label).second) label += " (signal " + std::to_string(s + 1) + ")";
            names.sensor = names.channel = names.component = label;
        }
        named.push_back(names);
    }
    return named;
}

GroupRule ChooseRule(const RecordingHeader& header, GroupRule asked) {
    if (asked != GroupRule::kAuto) return asked;
    for (const RecordingSignal& signal : header.signals) {
        SignalNames names;
        if (!signal.annotations && !SplitTransducer(signal.transducer, names)) {
            return GroupRule::kSignal;
        }
    }
    return GroupRule::kNames;
}

// The smallest frame multiple that gives every rate whole samples per frame, or 0.
int32_t FittingFrameMultiple(const std::vector<SensorProfile>& sensors) {
    for (int32_t f = 1; f <= kMaxFrameMultiple; ++f) {
        bool fits = true;
        for (const SensorProfile& sensor : sensors) fits = fits && SamplesPerStream(f, sensor.rate);
        if (fits) return f;
    }
    return 0;
}

std::string RateRefusal(const RecordingHeader& header, const SensorProfile& sensor, size_t signal,
                        int32_t frameMultiple, int32_t fitting) {
    const RecordingSignal& source = header.signals[signal];
    const double perFrame = sensor.rate * frameMultiple * kBaseFramePeriodS;
    std::string line = Quoted(source, signal) + " at " + Number(sensor.rate) + " Hz (" +
                       std::to_string(source.samplesPerRecord) + " samples per record of " +
                       Number(header.recordSeconds) + " s) has no whole number of samples in a " +
                       "frame of " + std::to_string(frameMultiple) + " x 13.5 ms (" +
                       Number(perFrame) + "); a replay does not resample: ";
    if (fitting > 0) {
        line += "frameMultiple " + std::to_string(fitting) +
                " carries every signal of the file (a replay profile with \"frameMultiple\": " +
                std::to_string(fitting) + ")";
    } else {
        line +=
            "no frameMultiple up to 1000 carries every signal; resample the file to rates "
            "with whole samples per 13.5 ms (2000 Hz, 1000 Hz, 500 Hz ...)";
    }
    return line;
}

}  // namespace

std::optional<int32_t> NotedFrameMultiple(const std::string& recordingField) {
    const size_t at = recordingField.find(kFrameMultipleNote);
    if (at == std::string::npos) return std::nullopt;
    const char* digits =
        recordingField.c_str() + at + std::char_traits<char>::length(kFrameMultipleNote);
    char* end = nullptr;
    const long value = std::strtol(digits, &end, 10);
    if (end == digits || value < 1 || value > kMaxFrameMultiple) return std::nullopt;
    return static_cast<int32_t>(value);
}

namespace {

// Every signal as a stream of the frame, sensor by sensor, channel by
// channel; false when a sensor's rate fits no whole number of samples.
bool PlaceStreams(const RecordingHeader& header,
                  const std::vector<std::vector<std::vector<size_t>>>& members,
                  const std::vector<size_t>& firstSignal, ReplayLayout& layout,
                  std::string& error) {
    const int32_t fitting = FittingFrameMultiple(layout.sensors);
    for (size_t s = 0; s < layout.sensors.size(); ++s) {
        const std::optional<int32_t> samples =
            SamplesPerStream(layout.frameMultiple, layout.sensors[s].rate);
        if (!samples) {
            error = RateRefusal(header, layout.sensors[s], firstSignal[s], layout.frameMultiple,
                                fitting);
            return false;
        }
        for (const auto& channel : members[s]) {
            for (size_t signal : channel) {
                layout.streams.push_back(
                    {signal, UnitForDimension(header.signals[signal].dimension).scale, *samples});
            }
        }
    }
    return true;
}

}  // namespace

bool LayOutReplay(const RecordingHeader& header, const ReplayProfile& replay, ReplayLayout& layout,
                  std::string& error) {
    const std::vector<SignalNames> named = NameSignals(header, ChooseRule(header, replay.group));
    if (named.empty()) {
        error = "holds no signal but annotations: nothing to replay";
        return false;
    }
    layout = ReplayLayout{};
    layout.frameMultiple =
        replay.frameMultiple.value_or(NotedFrameMultiple(header.recording).value_or(1));
    // Sensors and channels by name, in order of first appearance; each
    // channel keeps the signals of its components.
    std::vector<std::vector<std::vector<size_t>>> members;  // sensor -> channel -> signals
    std::vector<size_t> firstSignal;                        // per sensor
    for (const SignalNames& names : named) {
        const RecordingSignal& signal = header.signals[names.signal];
        const ReplayUnit unit = UnitForDimension(signal.dimension);
        size_t s = 0;
        while (s < layout.sensors.size() && layout.sensors[s].name != names.sensor) ++s;
        if (s == layout.sensors.size()) {
            SensorProfile sensor;
            sensor.name = names.sensor;
            sensor.rate = signal.samplesPerRecord / header.recordSeconds;
            layout.sensors.push_back(sensor);
            members.emplace_back();
            firstSignal.push_back(names.signal);
        }
        SensorProfile& sensor = layout.sensors[s];
        const RecordingSignal& first = header.signals[firstSignal[s]];
        if (signal.samplesPerRecord != first.samplesPerRecord) {
            error = Quoted(signal, names.signal) + " (" +
                    Number(signal.samplesPerRecord / header.recordSeconds) + " Hz) and " +
                    Quoted(first, firstSignal[s]) + " (" + Number(sensor.rate) +
                    " Hz) both belong to sensor \"" + sensor.name +
                    "\": a sensor's signals share one rate (choose another \"group\" rule)";
            return false;
        }
        size_t c = 0;
        while (c < sensor.channels.size() && sensor.channels[c].name != names.channel) ++c;
        if (c == sensor.channels.size()) {
            ChannelProfile channel;
            channel.name = names.channel;
            channel.unit = unit.text;
            sensor.channels.push_back(channel);
            members[s].emplace_back();
        }
        ChannelProfile& channel = sensor.channels[c];
        if (channel.unit != unit.text) {
            error = Quoted(signal, names.signal) + " (dimension \"" + signal.dimension +
                    "\") joins channel \"" + channel.name + "\" of sensor \"" + sensor.name +
                    "\", whose unit is \"" + channel.unit +
                    "\": a channel's signals share one unit";
            return false;
        }
        channel.components.push_back(names.component);
        members[s][c].push_back(names.signal);
    }
    return PlaceStreams(header, members, firstSignal, layout, error);
}

}  // namespace varnix::station
