// The two sound effects, synthesised from filtered noise and swept sines with a
// fixed-seed generator, normalised to just under full scale and faded to silence.
#include <cmath>
#include <cstdint>
#include <vector>

#include "data_files.h"

namespace datagen {
namespace {

constexpr double kPi = 3.14159265358979323846;

// splitmix64: a small fixed-seed generator, so every build makes the same sound.
class Noise {
public:
    explicit Noise(std::uint64_t seed) : state_(seed) {}
    double next() {  // uniform in [-1, 1)
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return double(z >> 11) / double(1ull << 52) - 1.0;
    }

private:
    std::uint64_t state_;
};

// One-pole low-pass filter with its corner frequency in hertz.
class LowPass {
public:
    explicit LowPass(double hz) : k_(1.0 - std::exp(-2.0 * kPi * hz / kSampleRate)) {}
    double operator()(double x) { return y_ += k_ * (x - y_); }

private:
    double k_, y_ = 0;
};

double decay(double t, double tau) { return std::exp(-t / tau); }

// Scales the peak to 90 % of full scale, ramps in over a millisecond and out
// over `fadeSeconds` with a raised cosine ending on zero, and writes the WAV.
Bytes finish(std::vector<double> samples, double fadeSeconds) {
    const std::size_t n = samples.size();
    const std::size_t rampIn = kSampleRate / 1000, fade = std::size_t(fadeSeconds * kSampleRate);
    for (std::size_t i = 0; i < rampIn && i < n; ++i) samples[i] *= double(i) / rampIn;
    for (std::size_t i = 0; i < fade && i < n; ++i) samples[n - 1 - i] *= 0.5 - 0.5 * std::cos(kPi * double(i) / fade);
    double peak = 0;
    for (double s : samples) peak = std::fmax(peak, std::fabs(s));
    const double gain = peak > 0 ? 0.9 * 32767.0 / peak : 0;

    const std::uint32_t dataBytes = std::uint32_t(n * 2);
    Bytes b;
    b.reserve(44 + dataBytes);
    auto put = [&b](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b.push_back(std::uint8_t(v >> (8 * i)));
    };
    auto tag = [&b](const char* s) {
        for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(s[i]));
    };
    tag("RIFF");
    put(36 + dataBytes, 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2);  // PCM
    put(1, 2);  // mono
    put(kSampleRate, 4);
    put(kSampleRate * 2, 4);
    put(2, 2);
    put(16, 2);
    tag("data");
    put(dataBytes, 4);
    for (double s : samples) put(std::uint16_t(std::int16_t(std::lround(s * gain))), 2);
    return b;
}

}  // namespace

Bytes cannonSound() {
    const std::size_t n = kSampleRate / 2;
    std::vector<double> out(n);
    Noise noise(0x62756D6D);
    LowPass body(900), tail(220), tailSmooth(220);
    double phase = 0, previous = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = double(i) / kSampleRate;
        const double white = noise.next();
        // The crack of the charge: bright noise, gone in a few milliseconds.
        const double crack = (white - previous) * 0.5 * decay(t, 0.006);
        previous = white;
        // The thump: a sine falling from 150 Hz to 45 Hz.
        const double hz = 45 + 105 * decay(t, 0.05);
        phase += 2 * kPi * hz / kSampleRate;
        const double thump = std::sin(phase) * decay(t, 0.09);
        // Blast and the rolling echo behind it.
        const double blast = body(white) * 2.5 * decay(t, 0.07);
        const double echo = tailSmooth(tail(white)) * 9.0 * decay(t, 0.16) * (1 - decay(t, 0.03));
        out[i] = 0.9 * crack + 0.8 * thump + 0.7 * blast + 0.5 * echo;
    }
    return finish(std::move(out), 0.08);
}

Bytes explosionSound() {
    const std::size_t n = kSampleRate * 3 / 2;
    std::vector<double> out(n);
    Noise noise(0x6578706C);
    Noise sparks(0x73706B73);
    LowPass blastFilter(1800), rumbleA(160), rumbleB(160), crackleFilter(2500);
    double phase = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = double(i) / kSampleRate;
        const double white = noise.next();
        const double blast = blastFilter(white) * 1.6 * decay(t, 0.05);
        // Deep rumble: twice filtered noise, swelling in and dying slowly.
        const double rumble = rumbleB(rumbleA(white)) * 16.0 * (1 - decay(t, 0.02)) * decay(t, 0.45);
        const double hz = 30 + 30 * decay(t, 0.15);
        phase += 2 * kPi * hz / kSampleRate;
        const double sub = std::sin(phase) * decay(t, 0.3) * (1 - decay(t, 0.005));
        // Falling debris: sparse clicks, thinning out.
        double click = 0;
        if (sparks.next() > 1.0 - 0.01 * decay(t, 0.35)) click = sparks.next();
        const double crackle = crackleFilter(click * 6.0) * (t > 0.05 ? 1.0 : 0.0);
        out[i] = 0.8 * blast + 0.9 * rumble + 0.7 * sub + 0.5 * crackle;
    }
    return finish(std::move(out), 0.2);
}

}  // namespace datagen
