#include "frame_synthesizer.h"

#include "signal_stream.h"
#include "station_geometry.h"

namespace varnix::station {

FrameSynthesizer::FrameSynthesizer() = default;
FrameSynthesizer::~FrameSynthesizer() = default;

void FrameSynthesizer::Configure(const Profile& profile) {
    profile_ = profile;
    Restart();
}

void FrameSynthesizer::Restart() {
    streams_.clear();
    places_.clear();
    size_t offset = 0;
    for (size_t s = 0; s < profile_.sensors.size(); ++s) {
        const SensorProfile& sensor = profile_.sensors[s];
        const int32_t samples = SamplesPerStream(profile_.frameMultiple, sensor.rate).value_or(0);
        size_t stream = 0;
        for (const ChannelProfile& channel : sensor.channels) {
            for (size_t axis = 0; axis < channel.components.size(); ++axis) {
                streams_.push_back(std::make_unique<SignalStream>(channel, sensor.rate,
                                                                  profile_.seed, s, stream, axis));
                places_.push_back({offset, samples});
                offset += static_cast<size_t>(samples);
                ++stream;
            }
        }
    }
    frameValues_ = offset;
}

bool FrameSynthesizer::Produce(float* out) {
    for (size_t i = 0; i < streams_.size(); ++i) {
        float* place = out + places_[i].offset;
        for (int32_t k = 0; k < places_[i].samples; ++k) {
            place[k] = streams_[i]->Next();
        }
    }
    return true;
}

}  // namespace varnix::station
