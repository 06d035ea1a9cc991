#include "emulator/vdd_host/recording/edf_signals.h"

#include "emulator/vdd_host/common/unit_names.h"

#include <cmath>
#include <set>

namespace varnix::vddhost {

namespace {

// Printable ASCII only: a header field allows nothing else.
std::string Printable(const std::string& text) {
    std::string out;
    for (char c : text) out += (c >= 0x20 && c < 0x7f) ? c : '_';
    return out;
}

bool Reserved(const std::string& label) {
    return label == "EDF Annotations" || label == "BDF Annotations";
}

std::string NumberedLabel(const LabelSource& source) {
    std::string label = "S" + std::to_string(source.deviceNumber) + "." +
                        std::to_string(source.outputNumber) + "." +
                        std::to_string(source.componentNumber);
    const std::string name = Printable(source.component);
    if (label.size() + 1 < kLabelWidth && !name.empty())
        label += " " + name.substr(0, kLabelWidth - label.size() - 1);
    return label.substr(0, kLabelWidth);
}

void AppendEscaped(std::string& out, const std::string& name) {
    for (char c : name) {
        if (c == '|' || c == '\\') out += '\\';
        out += c;
    }
}

}  // namespace

std::vector<std::string> MakeLabels(const std::vector<LabelSource>& sources) {
    std::vector<std::string> preferred;
    std::multiset<std::string> seen;
    for (const LabelSource& source : sources) {
        preferred.push_back(Printable(source.device + " " + source.component));
        seen.insert(preferred.back());
    }
    std::vector<bool> numbered(sources.size());
    for (size_t s = 0; s < sources.size(); ++s) {
        numbered[s] = preferred[s].size() > kLabelWidth || seen.count(preferred[s]) > 1 ||
                      Reserved(preferred[s]);
    }
    // A numbered label is unique by its numbers; a preferred label that
    // happens to equal one gives way to its own numbered label.
    for (bool changed = true; changed;) {
        changed = false;
        std::set<std::string> numberedLabels;
        for (size_t s = 0; s < sources.size(); ++s) {
            if (numbered[s]) numberedLabels.insert(NumberedLabel(sources[s]));
        }
        for (size_t s = 0; s < sources.size(); ++s) {
            if (!numbered[s] && numberedLabels.count(preferred[s]) > 0)
                numbered[s] = changed = true;
        }
    }
    std::vector<std::string> labels;
    for (size_t s = 0; s < sources.size(); ++s)
        labels.push_back(numbered[s] ? NumberedLabel(sources[s]) : preferred[s]);
    return labels;
}

std::string JoinNames(const std::string& device, const std::string& output,
                      const std::string& component) {
    std::string joined;
    AppendEscaped(joined, device);
    joined += '|';
    AppendEscaped(joined, output);
    joined += '|';
    AppendEscaped(joined, component);
    return joined;
}

bool SplitNames(const std::string& transducer, std::string& device, std::string& output,
                std::string& component) {
    std::string* parts[3] = {&device, &output, &component};
    size_t part = 0;
    for (std::string* p : parts) p->clear();
    for (size_t i = 0; i < transducer.size(); ++i) {
        const char c = transducer[i];
        if (c == '\\' && i + 1 < transducer.size()) {
            *parts[part] += transducer[++i];
        } else if (c == '|') {
            if (++part == 3) return false;
        } else {
            *parts[part] += c;
        }
    }
    return part == 2;
}

void DigitalRange(EdfKind kind, int32_t& min, int32_t& max) {
    min = kind == EdfKind::kBdfPlus ? -8388608 : -32768;
    max = kind == EdfKind::kBdfPlus ? 8388607 : 32767;
}

int32_t ToDigital(float value, const EdfSignal& signal, bool& clipped) {
    clipped = false;
    if (std::isnan(value)) {
        clipped = true;
        return FillDigital(signal);
    }
    const double span = signal.range.max.value - signal.range.min.value;
    const double steps =
        static_cast<double>(signal.digitalMax) - static_cast<double>(signal.digitalMin);
    const double digital = std::round(
        signal.digitalMin + (static_cast<double>(value) - signal.range.min.value) / span * steps);
    if (digital < signal.digitalMin) {
        clipped = true;
        return signal.digitalMin;
    }
    if (digital > signal.digitalMax) {
        clipped = true;
        return signal.digitalMax;
    }
    return static_cast<int32_t>(digital);
}

int32_t FillDigital(const EdfSignal& signal) {
    bool clipped = false;
    return ToDigital(0.0f, signal, clipped);
}

double ToPhysical(int32_t digital, const EdfSignal& signal) {
    const double span = signal.range.max.value - signal.range.min.value;
    const double steps =
        static_cast<double>(signal.digitalMax) - static_cast<double>(signal.digitalMin);
    return signal.range.min.value +
           (static_cast<double>(digital) - signal.digitalMin) * span / steps;
}

std::vector<EdfSignal> BuildSignals(const std::vector<DeviceLayout>& layouts,
                                    const std::vector<int32_t>& samplesPerRecord,
                                    double recordSeconds, EdfKind kind,
                                    const RangeOverrides& ranges) {
    std::vector<EdfSignal> signals;
    std::vector<LabelSource> sources;
    size_t deviceNumber = 0;
    for (size_t d = 0; d < layouts.size(); ++d) {
        const DeviceLayout& layout = layouts[d];
        if (d >= samplesPerRecord.size() || samplesPerRecord[d] <= 0 || layout.streams.empty())
            continue;
        ++deviceNumber;
        size_t outputNumber = 0, componentNumber = 0;
        std::string lastOutput;
        for (size_t j = 0; j < layout.streams.size(); ++j) {
            const StreamName& stream = layout.streams[j];
            if (j == 0 || stream.output != lastOutput) {
                ++outputNumber;
                componentNumber = 0;
                lastOutput = stream.output;
            }
            ++componentNumber;
            EdfSignal signal;
            signal.device = d;
            signal.stream = j;
            signal.deviceName = layout.name;
            signal.transducer = Printable(JoinNames(layout.name, stream.output, stream.component));
            signal.unitCode = stream.unitCode;
            signal.dimension = UnitOf(stream.unitCode).edfDimension;
            signal.range = RangeFor(stream.unitCode, ranges);
            DigitalRange(kind, signal.digitalMin, signal.digitalMax);
            signal.samplesPerRecord = samplesPerRecord[d];
            signal.rateHz = samplesPerRecord[d] / recordSeconds;
            signals.push_back(std::move(signal));
            sources.push_back(LabelSource{layout.name, stream.output, stream.component,
                                          deviceNumber, outputNumber, componentNumber});
        }
    }
    const std::vector<std::string> labels = MakeLabels(sources);
    for (size_t s = 0; s < signals.size(); ++s) signals[s].label = labels[s];
    return signals;
}

}  // namespace varnix::vddhost
