// The signals of an EDF+/BDF+ file as vdd-host writes them: one per stream
// (device, output, component), with a label, the full names, a physical
// dimension and range, and the conversion of a pushed value to a digital
// sample. Pure: no file, no EDFlib; the recorder and the tests use it alike.
//
// Labels (at most 16 characters, unique in the file):
//  - "<device> <component>" ("EMG 1 EMG", "IMU 4 GYRO X") when that fits in
//    16 characters, is unique in the file and is not a reserved label;
//  - otherwise "S<d>.<o>.<c>" (device, output and component numbers from 1,
//    in the file's order) followed by as much of " <component>" as fits:
//    "S13.2.3 GYRO Z".
// The full names travel in each signal's transducer field (80 characters):
// "<device>|<output>|<component>", with '|' and '\' inside a name written as
// "\|" and "\\". The unit code travels as the physical dimension (see
// unit_names.cpp). A reader that wants the names back splits the transducer
// field; the label is for people.
#pragma once

#include "emulator/vdd_host/common/device_layout.h"
#include "emulator/vdd_host/recording/physical_ranges.h"

#include <cstdint>
#include <string>
#include <vector>

namespace varnix::vddhost {

enum class EdfKind { kEdfPlus, kBdfPlus };

struct EdfSignal {
    size_t device = 0;  // host device index
    size_t stream = 0;  // stream j of the device
    std::string deviceName;
    std::string label;
    std::string transducer;  // "<device>|<output>|<component>"
    std::string dimension;
    int32_t unitCode = 0;
    PhysicalRange range;
    int32_t digitalMin = 0;
    int32_t digitalMax = 0;
    int32_t samplesPerRecord = 0;
    double rateHz = 0.0;  // samplesPerRecord / record duration, exactly as a reader computes it
};

// The names a label is made from, with their numbers from 1 in the file.
struct LabelSource {
    std::string device, output, component;
    size_t deviceNumber = 1, outputNumber = 1, componentNumber = 1;
};

constexpr size_t kLabelWidth = 16;
constexpr size_t kTransducerWidth = 80;

// The labels of every signal, in order, by the scheme above.
std::vector<std::string> MakeLabels(const std::vector<LabelSource>& sources);

// "<device>|<output>|<component>" with '|' and '\' escaped; and back.
std::string JoinNames(const std::string& device, const std::string& output,
                      const std::string& component);
bool SplitNames(const std::string& transducer, std::string& device, std::string& output,
                std::string& component);

// The digital range of a file kind: -32768..32767 (EDF+) or -8388608..8388607 (BDF+).
void DigitalRange(EdfKind kind, int32_t& min, int32_t& max);

// Rounds a pushed value to the nearest digital step of `signal`. A value
// whose step lies outside the digital range (or that is not a number) is
// clipped to the range's end (NaN to the step nearest 0) and `clipped` set.
int32_t ToDigital(float value, const EdfSignal& signal, bool& clipped);

// The digital sample nearest physical 0, within the range: what a sample
// nobody pushed is written as.
int32_t FillDigital(const EdfSignal& signal);

// The physical value a reader gets back for a digital sample.
double ToPhysical(int32_t digital, const EdfSignal& signal);

// One signal per stream of every device that has samples per record, in
// device order; `samplesPerRecord[d]` is the device's samples per stream per
// record (0: the device is left out).
std::vector<EdfSignal> BuildSignals(const std::vector<DeviceLayout>& layouts,
                                    const std::vector<int32_t>& samplesPerRecord,
                                    double recordSeconds, EdfKind kind,
                                    const RangeOverrides& ranges);

}  // namespace varnix::vddhost
