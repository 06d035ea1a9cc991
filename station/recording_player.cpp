#include "recording_player.h"

#include <algorithm>

namespace varnix::station {

namespace {

int32_t DigitalSample(const unsigned char* bytes, size_t width) {
    if (width == 3) {
        const int32_t value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16);
        return (value & 0x800000) != 0 ? value - 0x1000000 : value;
    }
    const int32_t value = bytes[0] | (bytes[1] << 8);
    return (value & 0x8000) != 0 ? value - 0x10000 : value;
}

}  // namespace

RecordingPlayer::RecordingPlayer(std::unique_ptr<RecordingFile> file, ReplayLayout layout,
                                 int64_t firstFrame, int64_t frameCount, bool loop)
    : file_(std::move(file)),
      layout_(std::move(layout)),
      firstFrame_(firstFrame),
      frameCount_(frameCount),
      loop_(loop) {
    const RecordingHeader& header = file_->Header();
    firstRecord_ = file_->Records();
    for (const ReplayStream& place : layout_.streams) {
        Stream stream;
        stream.signal = place.signal;
        stream.samplesPerFrame = place.samplesPerFrame;
        stream.scale = place.scale;
        stream.offset = frameValues_;
        frameValues_ += static_cast<size_t>(place.samplesPerFrame);
        // The record holding the stream's first sample; the earliest of them
        // is where every stream starts reading.
        const int64_t firstSample = firstFrame_ * place.samplesPerFrame;
        firstRecord_ =
            std::min(firstRecord_, firstSample / header.signals[place.signal].samplesPerRecord);
        streams_.push_back(std::move(stream));
    }
    Restart();
}

void RecordingPlayer::Restart() {
    const RecordingHeader& header = file_->Header();
    nextRecord_ = firstRecord_;
    played_ = 0;
    for (Stream& stream : streams_) {
        stream.pending.clear();
        stream.head = 0;
        stream.skip = firstFrame_ * stream.samplesPerFrame -
                      firstRecord_ * header.signals[stream.signal].samplesPerRecord;
    }
}

void RecordingPlayer::Append(Stream& stream, const char* samples) {
    const RecordingHeader& header = file_->Header();
    const RecordingSignal& signal = header.signals[stream.signal];
    if (stream.head > 0) {
        stream.pending.erase(stream.pending.begin(),
                             stream.pending.begin() + static_cast<ptrdiff_t>(stream.head));
        stream.head = 0;
    }
    const size_t width = header.sampleBytes;
    const double span = signal.physicalMax - signal.physicalMin;
    const double steps = static_cast<double>(signal.digitalMax) - signal.digitalMin;
    const auto* bytes = reinterpret_cast<const unsigned char*>(samples);
    for (int32_t i = 0; i < signal.samplesPerRecord; ++i) {
        if (stream.skip > 0) {
            --stream.skip;
            continue;
        }
        const int32_t digital = DigitalSample(bytes + static_cast<size_t>(i) * width, width);
        // The published conversion, in this order, so a value written by the
        // same rule reads back as it was written.
        const double physical =
            signal.physicalMin + (static_cast<double>(digital) - signal.digitalMin) * span / steps;
        stream.pending.push_back(static_cast<float>(physical * stream.scale));
    }
}

bool RecordingPlayer::ReadNextRecord() {
    if (nextRecord_ >= file_->Records()) return false;
    std::string error;
    if (!file_->ReadRecord(nextRecord_, record_, error)) {
        failed_ = true;
        readError_ = error + "; the replay ends here";
        return false;
    }
    const RecordingHeader& header = file_->Header();
    for (Stream& stream : streams_) {
        Append(stream, record_.data() + header.signals[stream.signal].offsetInRecord);
    }
    ++nextRecord_;
    return true;
}

bool RecordingPlayer::Produce(float* out) {
    if (failed_ || frameCount_ <= 0) return false;
    if (played_ == frameCount_) {
        if (!loop_) return false;
        Restart();
    }
    for (Stream& stream : streams_) {
        while (stream.pending.size() - stream.head < static_cast<size_t>(stream.samplesPerFrame)) {
            if (!ReadNextRecord()) return false;
        }
    }
    for (Stream& stream : streams_) {
        std::copy_n(stream.pending.begin() + static_cast<ptrdiff_t>(stream.head),
                    stream.samplesPerFrame, out + stream.offset);
        stream.head += static_cast<size_t>(stream.samplesPerFrame);
    }
    ++played_;
    return true;
}

std::string RecordingPlayer::TakeReadError() {
    std::string error;
    error.swap(readError_);
    return error;
}

}  // namespace varnix::station
