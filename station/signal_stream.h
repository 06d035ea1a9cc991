// One sample stream of the simulated station: a deterministic signal source
// seeded from the profile's seed, the sensor and the stream.
#pragma once

#include "profile.h"

#include <cstdint>

namespace varnix::station {

// A counter-based generator (splitmix64): the same seed gives the same
// numbers on every machine and library version.
class SeededRandom {
public:
    explicit SeededRandom(uint64_t seed) : state_(seed) {}
    uint64_t Next();
    double Uniform();                         // [0, 1)
    double Between(double low, double high);  // [low, high)
    double Gauss();                           // mean 0, deviation 1

private:
    uint64_t state_;
    double spareGauss_ = 0.0;
    bool hasSpare_ = false;
};

// Second-order section (direct form I), for the EMG band-pass.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    static Biquad HighPass(double cutoffHz, double rateHz);
    static Biquad LowPass(double cutoffHz, double rateHz);
    double Step(double x);
};

class SignalStream {
public:
    // `axis`: the stream's component index in its channel (x, y, z ...).
    SignalStream(const ChannelProfile& channel, double rate, uint64_t profileSeed, size_t sensor,
                 size_t stream, size_t axis);
    // The next sample. Does not allocate or lock.
    float Next();

private:
    double NextEmg();
    double NextAcc(double t);
    double NextGyro(double t);

    SignalKind kind_;
    double rate_;
    double value_;
    size_t axis_;
    uint64_t sample_ = 0;
    SeededRandom random_;
    // EMG
    Biquad highPass_, lowPass_;
    double burstPeak_ = 0.0;    // volts
    uint64_t phaseLength_ = 1;  // samples in the current rest or burst
    uint64_t phasePosition_ = 0;
    bool inBurst_ = false;
    // motion (acc, gyro): shared tilt of the sensor, own movement of the axis
    double tiltHz_ = 0.0, tiltPhase_ = 0.0, tiltAmplitude_ = 0.0;
    double moveHz_ = 0.0, movePhase_ = 0.0, moveAmplitude_ = 0.0;
};

}  // namespace varnix::station
