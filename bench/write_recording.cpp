// Writes a long BDF+/EDF+ recording in vdd-host's form, quickly, for replay
// measurements: an hour-long file without an hour-long capture. The layout
// is profiles/sensors16.json's (12 EMG sensors with an accelerometer at
// 2000 Hz, 4 inertial sensors at 370.37 Hz, frameMultiple 1) unless the
// counts are changed; the labels, full names, units, ranges, record length
// and frame-multiple note are vdd-host's own (its edf_signals and edf_file
// pieces write them). The signals are made up here: band-limited noise in
// bursts for EMG, gravity and slow movement for the accelerometers, slow
// rotation for the gyroscopes.
//   write_recording OUT.bdf --seconds 3600        (OUT.edf for EDF+)
#include "emulator/vdd_host/recording/edf_file.h"
#include "emulator/vdd_host/recording/edf_signals.h"
#include "emulator/vdd_host/recording/recording_field.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace varnix::vddhost;

constexpr int32_t kUnitVolts = 20;
constexpr int32_t kUnitOther = 25;
constexpr double kRecordSeconds = 0.108;  // 8 frames of 13.5 ms: vdd-host's record at F = 1
constexpr int32_t kEmgPerRecord = 216;    // 2000 Hz
constexpr int32_t kImuPerRecord = 40;     // 370.37 Hz
constexpr double kPi = 3.14159265358979323846;

// A small deterministic generator: the same file every time.
class Noise {
public:
    double Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<double>(state_ >> 11) / 9007199254740992.0 * 2.0 - 1.0;
    }

private:
    uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

DeviceLayout Sensor(const std::string& name, bool emg) {
    DeviceLayout layout;
    layout.name = name;
    if (emg) {
        layout.streams.push_back({"EMG", "EMG", kUnitVolts});
        for (const char* axis : {"ACC X", "ACC Y", "ACC Z"})
            layout.streams.push_back({"ACC", axis, kUnitOther});
    } else {
        for (const char* axis : {"ACC X", "ACC Y", "ACC Z"})
            layout.streams.push_back({"ACC", axis, kUnitOther});
        for (const char* axis : {"GYRO X", "GYRO Y", "GYRO Z"})
            layout.streams.push_back({"GYRO", axis, kUnitOther});
    }
    return layout;
}

// The physical value of stream `stream` of a sensor at time t.
double Value(const EdfSignal& signal, double t, Noise& noise) {
    const double phase =
        0.37 * static_cast<double>(signal.device) + 0.11 * static_cast<double>(signal.stream);
    if (signal.unitCode == kUnitVolts) {
        const double burst = std::sin(2 * kPi * 0.4 * t + phase) > 0.3 ? 5e-4 : 5e-6;
        return burst * noise.Next();
    }
    if (signal.label.find("GYRO") != std::string::npos)
        return 40.0 * std::sin(2 * kPi * 0.3 * t + phase) + 0.5 * noise.Next();
    const bool z = signal.label.back() == 'Z';
    return (z ? 1.0 : 0.0) + 0.2 * std::sin(2 * kPi * 0.5 * t + phase) + 0.01 * noise.Next();
}

// vdd-host's signals for `emgSensors` EMG and `imuSensors` inertial sensors.
std::vector<EdfSignal> Signals(int emgSensors, int imuSensors, EdfKind kind) {
    std::vector<DeviceLayout> layouts;
    std::vector<int32_t> perRecord;
    for (int n = 1; n <= emgSensors; ++n) {
        layouts.push_back(Sensor("EMG " + std::to_string(n), true));
        perRecord.push_back(kEmgPerRecord);
    }
    for (int n = 1; n <= imuSensors; ++n) {
        layouts.push_back(Sensor("IMU " + std::to_string(n), false));
        perRecord.push_back(kImuPerRecord);
    }
    for (size_t d = 0; d < layouts.size(); ++d) layouts[d].device = d;
    return BuildSignals(layouts, perRecord, kRecordSeconds, kind, {});
}

// Writes `records` data records of made-up values; false with `error` set
// when the file refuses one.
bool WriteRecords(EdfFile& file, const std::vector<EdfSignal>& signals, int64_t records,
                  std::string& error) {
    std::vector<int32_t> record;
    Noise noise;
    for (int64_t r = 0; r < records; ++r) {
        record.clear();
        for (const EdfSignal& signal : signals) {
            for (int32_t i = 0; i < signal.samplesPerRecord; ++i) {
                const double t = static_cast<double>(r) * kRecordSeconds + i / signal.rateHz;
                bool clipped = false;
                record.push_back(
                    ToDigital(static_cast<float>(Value(signal, t, noise)), signal, clipped));
            }
        }
        if (!file.WriteRecord(record, error)) return false;
    }
    return true;
}

int Fail(const std::string& error) {
    std::fprintf(stderr, "write_recording: %s\n", error.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) try {
    std::string path;
    double seconds = 60.0;
    int emgSensors = 12, imuSensors = 4;
    CLI::App app{
        "write_recording: a long BDF+/EDF+ file in vdd-host's form, for replay measurements"};
    app.add_option("file", path, "The file to write: .bdf (BDF+) or .edf (EDF+)")->required();
    app.add_option("--seconds", seconds, "Length of the recording (default 60)")
        ->check(CLI::PositiveNumber);
    app.add_option("--emg", emgSensors, "EMG sensors (default 12)")->check(CLI::Range(0, 128));
    app.add_option("--imu", imuSensors, "Inertial sensors (default 4)")->check(CLI::Range(0, 128));
    CLI11_PARSE(app, argc, argv);
    const bool bdf = path.size() > 4 && path.substr(path.size() - 4) == ".bdf";
    const EdfKind kind = bdf ? EdfKind::kBdfPlus : EdfKind::kEdfPlus;
    const std::vector<EdfSignal> signals = Signals(emgSensors, imuSensors, kind);

    EdfFile file;
    std::string error;
    if (!file.Open(path, kind, signals, static_cast<int>(std::lround(kRecordSeconds * 1e5)),
                   RecordingSubfieldsOf(1, 1, "; frameMultiple=1"), error)) {
        return Fail(error);
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    file.SetStart(now);
    file.Annotate({0.0, -1.0, "session 1 start"});
    const int64_t records = std::llround(seconds / kRecordSeconds);
    const auto started = std::chrono::steady_clock::now();
    if (!WriteRecords(file, signals, records, error) || !file.Close(error)) return Fail(error);
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf(
        "write_recording: %s: %zu signals, %lld records of %g s (%.1f s), written in %.1f s\n",
        path.c_str(), signals.size(), static_cast<long long>(records), kRecordSeconds,
        static_cast<double>(records) * kRecordSeconds, took);
    return 0;
} catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", "write_recording", e.what());
    return 1;
}
