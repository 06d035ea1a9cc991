#include "emulator/vdd_host/plot/svg_plot.h"

#include "emulator/vdd_host/common/unit_names.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <system_error>

namespace varnix::vddhost {

namespace {

constexpr int kWidth = 1400;
constexpr int kLabelWidth = 270;
constexpr int kRightMargin = 20;
constexpr int kTop = 50;
constexpr int kStripHeight = 54;
constexpr int kStripGap = 10;
constexpr int kBottom = 50;
constexpr int kPlotWidth = kWidth - kLabelWidth - kRightMargin;

// Internal envelope columns per strip: two per pixel column, so that after
// any number of doublings the span is at most twice the capture and every
// pixel column still has a column of its own.
constexpr size_t kColumns = 2 * static_cast<size_t>(kPlotWidth);

// One strip as drawn: the envelope per pixel column.
struct PixelStrip {
    std::string title;
    std::string unit;
    std::vector<float> low = std::vector<float>(kPlotWidth, std::numeric_limits<float>::infinity());
    std::vector<float> high =
        std::vector<float>(kPlotWidth, -std::numeric_limits<float>::infinity());
    float min = std::numeric_limits<float>::infinity();
    float max = -std::numeric_limits<float>::infinity();
};

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

double NiceStep(double span) {
    const double raw = span / 10.0;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (raw <= factor * power) return factor * power;
    }
    return 10.0 * power;
}

void DrawStrip(FILE* file, const PixelStrip& strip, int top) {
    std::fprintf(
        file,
        "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"#fafafa\" stroke=\"#ccc\"/>\n",
        kLabelWidth, top, kPlotWidth, kStripHeight);
    std::fprintf(file, "<text x=\"6\" y=\"%d\" class=\"title\">%s</text>\n", top + 18,
                 Escaped(strip.title).c_str());
    if (strip.min > strip.max) {
        std::fprintf(file, "<text x=\"6\" y=\"%d\" class=\"range\">no samples</text>\n", top + 36);
        return;
    }
    std::fprintf(file, "<text x=\"6\" y=\"%d\" class=\"range\">%.4g .. %.4g %s</text>\n", top + 36,
                 static_cast<double>(strip.min), static_cast<double>(strip.max),
                 Escaped(strip.unit).c_str());
    const double span = strip.max > strip.min ? static_cast<double>(strip.max - strip.min) : 1.0;
    const double middle = 0.5 * (static_cast<double>(strip.max) + static_cast<double>(strip.min));
    auto y = [&](float value) {
        const double scaled = strip.max > strip.min
                                  ? (static_cast<double>(value) - strip.min) / span
                                  : 0.5 + (static_cast<double>(value) - middle);
        return top + kStripHeight - 3 - scaled * (kStripHeight - 6);
    };
    // The envelope: along the maxima left to right, back along the minima.
    std::string upper, lower;
    char point[64];
    for (int x = 0; x < kPlotWidth; ++x) {
        const size_t at = static_cast<size_t>(x);
        if (strip.low[at] > strip.high[at]) continue;
        std::snprintf(point, sizeof point, "%d,%.1f ", kLabelWidth + x, y(strip.high[at]));
        upper += point;
    }
    for (int x = kPlotWidth - 1; x >= 0; --x) {
        const size_t at = static_cast<size_t>(x);
        if (strip.low[at] > strip.high[at]) continue;
        std::snprintf(point, sizeof point, "%d,%.1f ", kLabelWidth + x, y(strip.low[at]));
        lower += point;
    }
    std::fprintf(file, "<polygon class=\"trace\" points=\"%s%s\"/>\n", upper.c_str(),
                 lower.c_str());
}

// The SVG element, its style and the picture's title.
void DrawHeading(FILE* out, int height, size_t streams, double duration) {
    std::fprintf(
        out,
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d "
        "%d\">\n"
        "<style>text{font-family:sans-serif;fill:#222}.title{font-size:13px;font-weight:bold}"
        ".range{font-size:11px;fill:#555}.axis{font-size:11px}"
        ".trace{fill:#1f5fa8;fill-opacity:0.35;stroke:#1f5fa8;stroke-width:1}"
        ".grid{stroke:#ddd;stroke-width:1}</style>\n"
        "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n"
        "<text x=\"6\" y=\"24\" style=\"font-size:16px;font-weight:bold\">%zu streams, %.2f s "
        "(min/max per pixel column)</text>\n",
        kWidth, height, kWidth, height, streams, duration);
}

// Grid lines at round times, labelled above and below the strips.
void DrawTimeAxis(FILE* out, double duration, int bottom) {
    const double step = NiceStep(duration);
    for (double t = 0.0; t <= duration + 1e-9; t += step) {
        const int x = kLabelWidth + static_cast<int>(t / duration * kPlotWidth);
        std::fprintf(out, "<line class=\"grid\" x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\"/>\n", x,
                     kTop - 6, x, bottom + 4);
        std::fprintf(out,
                     "<text class=\"axis\" x=\"%d\" y=\"%d\" text-anchor=\"middle\">%g</text>\n", x,
                     bottom + 18, t);
        std::fprintf(out,
                     "<text class=\"axis\" x=\"%d\" y=\"%d\" text-anchor=\"middle\">%g</text>\n", x,
                     kTop - 10, t);
    }
    std::fprintf(out,
                 "<text class=\"axis\" x=\"%d\" y=\"%d\" text-anchor=\"middle\">time (s)</text>\n",
                 kLabelWidth + kPlotWidth / 2, bottom + 36);
}

}  // namespace

bool SignalPlot::Open(const std::string& path, std::string& error) {
    path_ = path;
    file_.reset(std::fopen(path.c_str(), "w"));
    if (!file_) {
        error = "cannot write plot file " + path + ": " + std::generic_category().message(errno) +
                ": check the folder exists and is writable";
        return false;
    }
    return true;
}

void SignalPlot::SetLayouts(const std::vector<DeviceLayout>& layouts, int64_t t0Ns) {
    t0Ns_ = t0Ns;
    strips_.clear();
    firstStrip_.clear();
    for (const DeviceLayout& layout : layouts) {
        firstStrip_.push_back(strips_.size());
        for (const StreamName& stream : layout.streams) {
            Strip strip;
            strip.title = layout.name + " / " + stream.output + " / " + stream.component;
            strip.unit = UnitName(stream.unitCode);
            strip.columns.resize(kColumns);
            strips_.push_back(std::move(strip));
        }
    }
    firstStrip_.push_back(strips_.size());
}

void SignalPlot::Widen() {
    for (Strip& strip : strips_) {
        for (size_t c = 0; c < kColumns / 2; ++c) {
            const Column& left = strip.columns[2 * c];
            const Column& right = strip.columns[2 * c + 1];
            strip.columns[c] =
                Column{std::min(left.low, right.low), std::max(left.high, right.high)};
        }
        std::fill(strip.columns.begin() + static_cast<ptrdiff_t>(kColumns / 2), strip.columns.end(),
                  Column{});
    }
    spanS_ *= 2.0;
}

void SignalPlot::Take(size_t device, const CapturedPush& push, const PushNotes&) {
    if (device + 1 >= firstStrip_.size()) return;
    const size_t first = firstStrip_[device];
    const size_t streams = firstStrip_[device + 1] - first;
    const size_t samples = push.samplesPerFrame > 0 ? static_cast<size_t>(push.samplesPerFrame) : 0;
    const double rate = device < ratesHz_.size() && ratesHz_[device] > 0 ? ratesHz_[device] : 1.0;
    const double arrival = static_cast<double>(push.timeNs - t0Ns_) * 1e-9;
    if (samples == 0) return;
    lastS_ = std::max(lastS_, arrival);
    while (arrival >= spanS_) Widen();
    for (size_t j = 0; j < streams; ++j) {
        Strip& strip = strips_[first + j];
        for (size_t i = 0; i < samples && j * samples + i < push.values.size(); ++i) {
            const float value = push.values[j * samples + i];
            if (!std::isfinite(value)) continue;
            const double t = std::max(0.0, arrival - static_cast<double>(samples - 1 - i) / rate);
            const size_t c = std::min(
                kColumns - 1, static_cast<size_t>(t / spanS_ * static_cast<double>(kColumns)));
            Column& column = strip.columns[c];
            column.low = std::min(column.low, value);
            column.high = std::max(column.high, value);
            strip.low = std::min(strip.low, value);
            strip.high = std::max(strip.high, value);
        }
    }
}

bool SignalPlot::Write(std::string& error) {
    if (!file_) return true;
    const double duration = std::max(lastS_, 0.1);
    std::vector<PixelStrip> strips;
    for (const Strip& strip : strips_) {
        PixelStrip pixels;
        pixels.title = strip.title;
        pixels.unit = strip.unit;
        pixels.min = strip.low;
        pixels.max = strip.high;
        for (size_t c = 0; c < kColumns; ++c) {
            const Column& column = strip.columns[c];
            if (column.Empty()) continue;
            const double t =
                (static_cast<double>(c) + 0.5) * spanS_ / static_cast<double>(kColumns);
            const size_t x = std::min(static_cast<size_t>(kPlotWidth - 1),
                                      static_cast<size_t>(t / duration * kPlotWidth));
            pixels.low[x] = std::min(pixels.low[x], column.low);
            pixels.high[x] = std::max(pixels.high[x], column.high);
        }
        strips.push_back(std::move(pixels));
    }
    const int height =
        kTop + static_cast<int>(strips.size()) * (kStripHeight + kStripGap) + kBottom;
    FILE* out = file_.get();
    DrawHeading(out, height, strips.size(), duration);
    DrawTimeAxis(out, duration, height - kBottom);
    for (size_t s = 0; s < strips.size(); ++s) {
        DrawStrip(out, strips[s], kTop + static_cast<int>(s) * (kStripHeight + kStripGap));
    }
    std::fputs("</svg>\n", out);
    const bool failed = std::ferror(out) != 0;
    const int savedErrno = errno;
    const bool closed = std::fclose(file_.release()) == 0;
    if (failed || !closed) {
        error = "writing plot file " + path_ +
                " failed: " + std::generic_category().message(failed ? savedErrno : errno) +
                ": check the disk";
        return false;
    }
    return true;
}

}  // namespace varnix::vddhost
