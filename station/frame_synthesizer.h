// Makes the values of the simulated station's frames from a profile.
//
// Frame layout (the one the plug-in's geometry expects): one slice per sensor
// in profile order, back to back; inside a sensor's slice the values are
// stream-major, stream j (the j-th item of the sensor) holding its S samples
// at [j*S, j*S + S). Frame k after a restart holds samples k*S .. k*S+S-1 of
// every stream, and its values depend only on the profile (seed included)
// and k: the same profile always yields the same frames.
#pragma once

#include "frame_source.h"
#include "profile.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace varnix::station {

class SignalStream;

class FrameSynthesizer final : public FrameSource {
public:
    FrameSynthesizer();
    ~FrameSynthesizer() override;
    FrameSynthesizer(const FrameSynthesizer&) = delete;
    FrameSynthesizer& operator=(const FrameSynthesizer&) = delete;

    // Lays out the streams of `profile` and restarts them. Allocates.
    void Configure(const Profile& profile);
    // Back to sample 0 of every stream, as at a session start. Allocates.
    void Restart() override;
    // Values in one frame: the sum of S x streams over the sensors.
    size_t FrameValueCount() const override { return frameValues_; }
    // Writes the next frame's FrameValueCount() values to `out`; always true:
    // the signals never end. Does not allocate or lock.
    bool Produce(float* out) override;

private:
    struct StreamPlace {
        size_t offset;    // of the stream's first sample in the frame
        int32_t samples;  // S of its sensor
    };
    Profile profile_;
    std::vector<std::unique_ptr<SignalStream>> streams_;
    std::vector<StreamPlace> places_;
    size_t frameValues_ = 0;
};

}  // namespace varnix::station
