#include "replay_setup.h"

#include "station_clock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace varnix::station {

namespace {

// Times in the file are decimal text; a little slack keeps a frame edge
// written as text on its side.
constexpr double kEdgeSlackFrames = 1e-6;

std::string Seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", value);
    return text;
}

int64_t WholeFrames(const RecordingFile& file, const ReplayLayout& layout) {
    int64_t frames = INT64_MAX;
    for (const ReplayStream& stream : layout.streams) {
        const int64_t samples =
            file.Records() * file.Header().signals[stream.signal].samplesPerRecord;
        frames = std::min(frames, samples / stream.samplesPerFrame);
    }
    return frames;
}

// The first mark with `text` from `fromS` to `endS`, in nanoseconds from
// `fromS`.
std::optional<int64_t> FirstMark(const RecordingFile& file, const char* text, double fromS,
                                 double endS) {
    for (const RecordingAnnotation& mark : file.Marks()) {
        if (mark.text == text && mark.onsetS >= fromS - 1e-9 && mark.onsetS <= endS) {
            return std::llround(std::max(mark.onsetS - fromS, 0.0) * 1e9);
        }
    }
    return std::nullopt;
}

}  // namespace

bool PrepareReplay(Profile& profile, PreparedReplay& prepared, std::string& error) {
    const ReplayProfile& replay = *profile.replay;
    auto file = std::make_unique<RecordingFile>();
    if (!file->Open(replay.path, error, prepared.warnings)) return false;
    const std::string prefix = "recording " + replay.path + ": ";
    ReplayLayout layout;
    if (!LayOutReplay(file->Header(), replay, layout, error)) {
        error = prefix + error;
        return false;
    }
    const double frameS = layout.frameMultiple * static_cast<double>(kBaseFramePeriodNs) * 1e-9;
    int64_t frames = WholeFrames(*file, layout);
    for (const RecordingAnnotation& mark : file->Marks()) {
        if (mark.text == kDataEndText) {
            // Compared as a number of frames before it becomes one: an onset
            // far beyond the data (or before it) must not overflow.
            const double endFrames = std::floor(mark.onsetS / frameS + kEdgeSlackFrames);
            if (endFrames < static_cast<double>(frames)) {
                frames = static_cast<int64_t>(std::max(endFrames, 0.0));
            }
            break;
        }
    }
    const int64_t firstFrame =
        static_cast<int64_t>(std::floor(replay.fromS / frameS + kEdgeSlackFrames));
    if (firstFrame >= frames) {
        error = prefix + "\"from\": " + Seconds(replay.fromS) + " s lies at or after the end of " +
                "its " + Seconds(static_cast<double>(std::max<int64_t>(frames, 0)) * frameS) +
                " s of data: begin the replay earlier";
        return false;
    }
    const double beginS = static_cast<double>(firstFrame) * frameS;
    // A pulse may follow the last frame (a stop pulse ends the data), but
    // not the file: one later than its records is never reached.
    const double endS = static_cast<double>(file->Records()) * file->Header().recordSeconds;
    prepared.pulses.startNs = FirstMark(*file, kStartPulseText, beginS, endS);
    prepared.pulses.stopNs = FirstMark(*file, kStopPulseText, beginS, endS);
    profile.frameMultiple = layout.frameMultiple;
    profile.sensors = layout.sensors;
    prepared.player = std::make_unique<RecordingPlayer>(
        std::move(file), std::move(layout), firstFrame, frames - firstFrame, replay.loop);
    return true;
}

}  // namespace varnix::station
