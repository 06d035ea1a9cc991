// --plot: the received signals as an SVG picture, one strip per channel
// component, time in seconds across, amplitude with its unit. Each strip is
// the min/max envelope per pixel column, kept as the pushes arrive: a fixed
// number of columns per strip, each pair merged into one whenever the
// capture outlasts the time they cover, so memory does not grow with the
// capture and the picture still spans all of it.
#pragma once

#include "emulator/vdd_host/common/device_layout.h"
#include "emulator/vdd_host/common/push_sink.h"

#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace varnix::vddhost {

// [host] Main thread only. Take never allocates; Write allocates.
class SignalPlot final : public PushSink {
public:
    // Creates the file now, so a path that cannot be written fails before
    // the capture. False with `error` set.
    bool Open(const std::string& path, std::string& error);
    // The strips, and time zero (CLOCK_MONOTONIC); before the first Take.
    void SetLayouts(const std::vector<DeviceLayout>& layouts, int64_t t0Ns);
    // Samples per second per stream of each device, to place a push's
    // samples before its arrival; 1 when unknown.
    void SetRates(const std::vector<double>& ratesHz) { ratesHz_ = ratesHz; }
    void Take(size_t device, const CapturedPush& push, const PushNotes& notes) override;
    // Draws the picture and closes the file. False with `error` set.
    bool Write(std::string& error);

    // Seconds the envelope columns cover now (doubles as the capture goes on).
    double SpanS() const { return spanS_; }

private:
    struct Column {
        float low = std::numeric_limits<float>::infinity();
        float high = -std::numeric_limits<float>::infinity();
        bool Empty() const { return low > high; }
    };
    struct Strip {
        std::string title;
        std::string unit;
        std::vector<Column> columns;
        float low = std::numeric_limits<float>::infinity();
        float high = -std::numeric_limits<float>::infinity();
    };

    void Widen();  // doubles the span: merges each pair of columns

    std::string path_;
    std::unique_ptr<FILE, int (*)(FILE*)> file_{nullptr, &std::fclose};
    std::vector<Strip> strips_;
    std::vector<size_t> firstStrip_;  // per device
    std::vector<double> ratesHz_;
    int64_t t0Ns_ = 0;
    double spanS_ = 1.0;
    double lastS_ = 0.0;  // latest sample time seen
};

}  // namespace varnix::vddhost
