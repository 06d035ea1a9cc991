#include "emulator/vdd_host/svg_plot.h"

#include "emulator/vdd_host/unit_names.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

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

struct Column {
    float low = std::numeric_limits<float>::infinity();
    float high = -std::numeric_limits<float>::infinity();
    bool Empty() const { return low > high; }
};

// One strip: the envelope of one stream of one device.
struct Strip {
    std::string         title;
    std::string         unit;
    std::vector<Column> columns = std::vector<Column>(kPlotWidth);
    float               low = std::numeric_limits<float>::infinity();
    float               high = -std::numeric_limits<float>::infinity();
};

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
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

std::vector<Strip> BuildStrips(const PushChecker& checker, const std::vector<double>& ratesHz, int64_t t0Ns,
                               double duration) {
    std::vector<Strip> strips;
    for (size_t d = 0; d < checker.DeviceCount(); ++d) {
        const DeviceLayout& layout = checker.Layouts()[d];
        const size_t first = strips.size();
        for (const StreamName& stream : layout.streams) {
            Strip strip;
            strip.title = layout.name + " / " + stream.output + " / " + stream.component;
            strip.unit = UnitName(stream.unitCode);
            strips.push_back(std::move(strip));
        }
        const double rate = d < ratesHz.size() && ratesHz[d] > 0 ? ratesHz[d] : 1.0;
        for (const CapturedPush& push : checker.Kept(d)) {
            const size_t samples = push.samplesPerFrame > 0 ? static_cast<size_t>(push.samplesPerFrame) : 0;
            const double arrival = static_cast<double>(push.timeNs - t0Ns) * 1e-9;
            for (size_t j = 0; samples > 0 && j < layout.streams.size(); ++j) {
                Strip& strip = strips[first + j];
                for (size_t i = 0; i < samples && j * samples + i < push.values.size(); ++i) {
                    const float value = push.values[j * samples + i];
                    if (!std::isfinite(value)) continue;
                    const double t = arrival - static_cast<double>(samples - 1 - i) / rate;
                    const int x = std::clamp(static_cast<int>(t / duration * kPlotWidth), 0, kPlotWidth - 1);
                    Column& column = strip.columns[static_cast<size_t>(x)];
                    column.low = std::min(column.low, value);
                    column.high = std::max(column.high, value);
                    strip.low = std::min(strip.low, value);
                    strip.high = std::max(strip.high, value);
                }
            }
        }
    }
    return strips;
}

void DrawStrip(FILE* file, const Strip& strip, int top) {
    std::fprintf(file, "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"#fafafa\" stroke=\"#ccc\"/>\n",
                 kLabelWidth, top, kPlotWidth, kStripHeight);
    std::fprintf(file, "<text x=\"6\" y=\"%d\" class=\"title\">%s</text>\n", top + 18, Escaped(strip.title).c_str());
    if (strip.low > strip.high) {
        std::fprintf(file, "<text x=\"6\" y=\"%d\" class=\"range\">no samples</text>\n", top + 36);
        return;
    }
    std::fprintf(file, "<text x=\"6\" y=\"%d\" class=\"range\">%.4g .. %.4g %s</text>\n", top + 36,
                 static_cast<double>(strip.low), static_cast<double>(strip.high), Escaped(strip.unit).c_str());
    const double span = strip.high > strip.low ? static_cast<double>(strip.high - strip.low) : 1.0;
    const double middle = 0.5 * (static_cast<double>(strip.high) + static_cast<double>(strip.low));
    auto y = [&](float value) {
        const double scaled = strip.high > strip.low ? (static_cast<double>(value) - strip.low) / span
                                                     : 0.5 + (static_cast<double>(value) - middle);
        return top + kStripHeight - 3 - scaled * (kStripHeight - 6);
    };
    // The envelope: along the maxima left to right, back along the minima.
    std::string upper, lower;
    char point[64];
    for (int x = 0; x < kPlotWidth; ++x) {
        const Column& column = strip.columns[static_cast<size_t>(x)];
        if (column.Empty()) continue;
        std::snprintf(point, sizeof point, "%d,%.1f ", kLabelWidth + x, y(column.high));
        upper += point;
    }
    for (int x = kPlotWidth - 1; x >= 0; --x) {
        const Column& column = strip.columns[static_cast<size_t>(x)];
        if (column.Empty()) continue;
        std::snprintf(point, sizeof point, "%d,%.1f ", kLabelWidth + x, y(column.low));
        lower += point;
    }
    std::fprintf(file, "<polygon class=\"trace\" points=\"%s%s\"/>\n", upper.c_str(), lower.c_str());
}

}  // namespace

bool WritePlot(const std::string& path, const PushChecker& checker, const std::vector<double>& ratesHz,
               int64_t t0Ns, std::string& error) {
    int64_t lastNs = t0Ns;
    for (size_t d = 0; d < checker.DeviceCount(); ++d) {
        for (const CapturedPush& push : checker.Kept(d)) lastNs = std::max(lastNs, push.timeNs);
    }
    const double duration = std::max(static_cast<double>(lastNs - t0Ns) * 1e-9, 0.1);
    const std::vector<Strip> strips = BuildStrips(checker, ratesHz, t0Ns, duration);
    const int height = kTop + static_cast<int>(strips.size()) * (kStripHeight + kStripGap) + kBottom;

    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "w"), &std::fclose);
    if (!file) {
        error = "cannot write plot file " + path + ": " + std::strerror(errno);
        return false;
    }
    FILE* out = file.get();
    std::fprintf(out,
                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\">\n"
                 "<style>text{font-family:sans-serif;fill:#222}.title{font-size:13px;font-weight:bold}"
                 ".range{font-size:11px;fill:#555}.axis{font-size:11px}"
                 ".trace{fill:#1f5fa8;fill-opacity:0.35;stroke:#1f5fa8;stroke-width:1}"
                 ".grid{stroke:#ddd;stroke-width:1}</style>\n"
                 "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n"
                 "<text x=\"6\" y=\"24\" style=\"font-size:16px;font-weight:bold\">%zu streams, %.2f s "
                 "(min/max per pixel column)</text>\n",
                 kWidth, height, kWidth, height, strips.size(), duration);
    const double step = NiceStep(duration);
    const int bottom = height - kBottom;
    for (double t = 0.0; t <= duration + 1e-9; t += step) {
        const int x = kLabelWidth + static_cast<int>(t / duration * kPlotWidth);
        std::fprintf(out, "<line class=\"grid\" x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\"/>\n", x, kTop - 6, x, bottom + 4);
        std::fprintf(out, "<text class=\"axis\" x=\"%d\" y=\"%d\" text-anchor=\"middle\">%g</text>\n", x, bottom + 18, t);
        std::fprintf(out, "<text class=\"axis\" x=\"%d\" y=\"%d\" text-anchor=\"middle\">%g</text>\n", x, kTop - 10, t);
    }
    std::fprintf(out, "<text class=\"axis\" x=\"%d\" y=\"%d\" text-anchor=\"middle\">time (s)</text>\n",
                 kLabelWidth + kPlotWidth / 2, bottom + 36);
    for (size_t s = 0; s < strips.size(); ++s) {
        DrawStrip(out, strips[s], kTop + static_cast<int>(s) * (kStripHeight + kStripGap));
    }
    std::fputs("</svg>\n", out);
    if (std::ferror(out) != 0) {
        error = "writing plot file " + path + " failed: " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace varnix::vddhost
