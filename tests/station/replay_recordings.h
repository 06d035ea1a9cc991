// Recordings the replay tests share: vdd-host's way of naming signals, and
// the frames the station must make of them.
#pragma once

#include "recording_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace station_test {

inline std::string TempPath(const std::string& name) {
    std::string dir = ::testing::TempDir();
    if (!dir.empty() && dir.back() == '/') dir.pop_back();
    return dir + "/" + name;
}

// Two sensors as vdd-host writes them, at frameMultiple 2: "EMG 1" (EMG and
// ACC X at 2000 Hz, 216 samples a record of 0.108 s) and "Leg|L" (one GYRO
// stream at 370.37 Hz, 40 a record), with a '|' escaped in its name.
// With `longRecords`, records of 1.08 s (ten times as many samples).
inline TestRecording VddHostStyle(int64_t records, bool longRecords = false) {
    TestRecording recording;
    recording.recording = "Startdate 01-JAN-2024 X X vdd-host session 1 of 1; frameMultiple=2";
    recording.records = records;
    const int32_t scale = longRecords ? 10 : 1;
    if (longRecords) recording.recordSeconds = "1.08";
    TestSignal emg;
    emg.label = "EMG 1 EMG";
    emg.transducer = "EMG 1|EMG|EMG";
    emg.physicalMin = "-0.011";
    emg.physicalMax = "0.011";
    emg.samplesPerRecord = 216 * scale;
    emg.digital = [](int64_t k) { return static_cast<int32_t>((k * 7919) % 2000000 - 1000000); };
    TestSignal acc = emg;
    acc.label = "EMG 1 ACC X";
    acc.transducer = "EMG 1|ACC|ACC X";
    acc.dimension = "other";
    acc.physicalMin = "-2000";
    acc.physicalMax = "2000";
    acc.digital = [](int64_t k) { return static_cast<int32_t>(k * 3 - 500); };
    TestSignal gyro = acc;
    gyro.label = "S2.1.1 GYRO X";
    gyro.transducer = "Leg\\|L|GYRO|GYRO X";
    gyro.samplesPerRecord = 40 * scale;
    gyro.digital = [](int64_t k) { return static_cast<int32_t>(-k); };
    recording.signals = {emg, acc, gyro};
    return recording;
}

// The frame the recording holds at `frame` (frameMultiple 2: 54 EMG and
// ACC X samples, then 10 GYRO X), as the station should hand it out.
inline std::vector<float> ExpectedFrame(const TestRecording& recording, int64_t frame) {
    std::vector<float> values;
    const int32_t perFrame[] = {54, 54, 10};
    for (size_t s = 0; s < 3; ++s) {
        const TestSignal& signal = recording.signals[s];
        for (int32_t i = 0; i < perFrame[s]; ++i) {
            const int32_t d = signal.digital(frame * perFrame[s] + i);
            values.push_back(static_cast<float>(PhysicalOf(signal, d, recording.bdf)));
        }
    }
    return values;
}

}  // namespace station_test
