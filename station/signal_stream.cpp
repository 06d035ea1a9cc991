#include "signal_stream.h"

#include <algorithm>
#include <cmath>

namespace varnix::station {

namespace {

constexpr double kPi = 3.14159265358979323846;

// EMG: resting noise and burst peaks in volts, burst and rest lengths in s.
constexpr double kEmgRestLevel = 5e-6;
constexpr double kEmgBurstPeakLow = 1e-4;
constexpr double kEmgBurstPeakHigh = 1e-3;
constexpr double kEmgRestLow = 0.8, kEmgRestHigh = 2.5;
constexpr double kEmgBurstLow = 0.3, kEmgBurstHigh = 1.2;
constexpr double kEmgBandLowHz = 20.0, kEmgBandHighHz = 450.0;
// Band-passing unit noise leaves about 2/3 of its power in the band; this
// brings the band back to about unit deviation.
constexpr double kEmgBandGain = 1.5;
// Motion: accelerometer in g, gyroscope in deg/s.
constexpr double kAccNoise = 0.01, kGyroNoise = 0.5;

uint64_t Mix(uint64_t a, uint64_t b) {
    SeededRandom random(a ^ (b + 0x9E3779B97F4A7C15ull + (a << 6) + (a >> 2)));
    return random.Next();
}

}  // namespace

uint64_t SeededRandom::Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double SeededRandom::Uniform() {
    return static_cast<double>(Next() >> 11) * 0x1.0p-53;
}

double SeededRandom::Between(double low, double high) {
    return low + (high - low) * Uniform();
}

double SeededRandom::Gauss() {
    if (hasSpare_) {
        hasSpare_ = false;
        return spareGauss_;
    }
    const double u1 = 1.0 - Uniform();  // (0, 1]: log stays finite
    const double u2 = Uniform();
    const double radius = std::sqrt(-2.0 * std::log(u1));
    spareGauss_ = radius * std::sin(2.0 * kPi * u2);
    hasSpare_ = true;
    return radius * std::cos(2.0 * kPi * u2);
}

Biquad Biquad::HighPass(double cutoffHz, double rateHz) {
    const double w0 = 2.0 * kPi * cutoffHz / rateHz;
    const double alpha = std::sin(w0) / std::sqrt(2.0);  // Q = 1/sqrt(2): Butterworth
    const double c = std::cos(w0);
    const double a0 = 1.0 + alpha;
    Biquad f;
    f.b0 = (1.0 + c) / 2.0 / a0;
    f.b1 = -(1.0 + c) / a0;
    f.b2 = f.b0;
    f.a1 = -2.0 * c / a0;
    f.a2 = (1.0 - alpha) / a0;
    return f;
}

Biquad Biquad::LowPass(double cutoffHz, double rateHz) {
    const double w0 = 2.0 * kPi * cutoffHz / rateHz;
    const double alpha = std::sin(w0) / std::sqrt(2.0);
    const double c = std::cos(w0);
    const double a0 = 1.0 + alpha;
    Biquad f;
    f.b0 = (1.0 - c) / 2.0 / a0;
    f.b1 = (1.0 - c) / a0;
    f.b2 = f.b0;
    f.a1 = -2.0 * c / a0;
    f.a2 = (1.0 - alpha) / a0;
    return f;
}

double Biquad::Step(double x) {
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
}

SignalStream::SignalStream(const ChannelProfile& channel, double rate, uint64_t profileSeed,
                           size_t sensor, size_t stream, size_t axis)
    : kind_(channel.signal),
      rate_(rate),
      value_(channel.value),
      axis_(axis),
      random_(Mix(Mix(profileSeed, sensor), stream)) {
    // The band is kept inside what the rate can carry.
    highPass_ = Biquad::HighPass(std::min(kEmgBandLowHz, 0.1 * rate), rate);
    lowPass_ = Biquad::LowPass(std::min(kEmgBandHighHz, 0.45 * rate), rate);
    phaseLength_ = std::max<uint64_t>(
        1, static_cast<uint64_t>(random_.Between(kEmgRestLow, kEmgRestHigh) * rate));
    // The tilt is the sensor's: every axis of it sees the same one.
    SeededRandom sensorRandom(Mix(profileSeed, sensor + 0x5EED));
    tiltHz_ = sensorRandom.Between(0.05, 0.2);
    tiltPhase_ = sensorRandom.Between(0.0, 2.0 * kPi);
    tiltAmplitude_ = sensorRandom.Between(0.2, 0.5);  // radians
    moveHz_ = random_.Between(0.3, 2.0);
    movePhase_ = random_.Between(0.0, 2.0 * kPi);
    moveAmplitude_ =
        kind_ == SignalKind::Gyro ? random_.Between(20.0, 60.0) : random_.Between(0.05, 0.2);
}

float SignalStream::Next() {
    const double t = static_cast<double>(sample_) / rate_;
    double value = 0.0;
    switch (kind_) {
        case SignalKind::Emg:
            value = NextEmg();
            break;
        case SignalKind::Acc:
            value = NextAcc(t);
            break;
        case SignalKind::Gyro:
            value = NextGyro(t);
            break;
        case SignalKind::Ramp:
            value = static_cast<double>(sample_);
            break;
        case SignalKind::Constant:
            value = value_;
            break;
    }
    ++sample_;
    return static_cast<float>(value);
}

double SignalStream::NextEmg() {
    if (++phasePosition_ >= phaseLength_) {
        inBurst_ = !inBurst_;
        phasePosition_ = 0;
        const double seconds = inBurst_ ? random_.Between(kEmgBurstLow, kEmgBurstHigh)
                                        : random_.Between(kEmgRestLow, kEmgRestHigh);
        phaseLength_ = std::max<uint64_t>(1, static_cast<uint64_t>(seconds * rate_));
        burstPeak_ = random_.Between(kEmgBurstPeakLow, kEmgBurstPeakHigh);
    }
    double envelope = kEmgRestLevel;
    if (inBurst_) {
        const double s =
            std::sin(kPi * static_cast<double>(phasePosition_) / static_cast<double>(phaseLength_));
        envelope += burstPeak_ * s * s;
    }
    const double band = lowPass_.Step(highPass_.Step(random_.Gauss()));
    return band * kEmgBandGain * envelope;
}

double SignalStream::NextAcc(double t) {
    const double tilt = tiltAmplitude_ * std::sin(2.0 * kPi * tiltHz_ * t + tiltPhase_);
    double gravity = 0.0;
    switch (axis_ % 3) {
        case 0:
            gravity = std::sin(tilt);
            break;
        case 1:
            gravity = 0.0;
            break;
        default:
            gravity = std::cos(tilt);
            break;
    }
    const double movement = moveAmplitude_ * std::sin(2.0 * kPi * moveHz_ * t + movePhase_);
    return gravity + movement + kAccNoise * random_.Gauss();
}

double SignalStream::NextGyro(double t) {
    return moveAmplitude_ * std::cos(2.0 * kPi * moveHz_ * t + movePhase_) +
           kGyroNoise * random_.Gauss();
}

}  // namespace varnix::station
