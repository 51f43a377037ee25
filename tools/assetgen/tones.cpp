#include "tones.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

namespace assetgen {
namespace {

// The DTMF keypad: each key sounds its row frequency (low group) and its column frequency (high group).
//
//              1209 Hz  1336 Hz  1477 Hz
//     697 Hz      1        2        3
//     770 Hz      4        5        6
//     852 Hz      7        8        9
//     941 Hz      *        0        #
constexpr double kRowHz[4] = {697, 770, 852, 941};
constexpr double kColumnHz[3] = {1209, 1336, 1477};
constexpr char kKeypad[4][3] = {
    {'1', '2', '3'},
    {'4', '5', '6'},
    {'7', '8', '9'},
    {'*', '0', '#'},
};

constexpr double kTwoPi = 2 * std::numbers::pi;

double sine(double hz, double seconds) {
    return std::sin(kTwoPi * hz * seconds);
}

// Raised-cosine ramps at both ends of a burst, so tones start and stop without a click of their own.
double ramp(double secondsIn, double secondsLeft, double rampSeconds) {
    const double edge = std::min(secondsIn, secondsLeft);
    if (edge >= rampSeconds) return 1.0;
    return 0.5 - 0.5 * std::cos(std::numbers::pi * std::max(edge, 0.0) / rampSeconds);
}

// A tone switched on and off in a fixed cadence (busy, ringback).
template <class Voice>
std::vector<double> cadenced(size_t count, uint32_t sampleRate, double onSeconds, double offSeconds,
                             Voice voice) {
    std::vector<double> samples(count);
    const double period = onSeconds + offSeconds;
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const double inPeriod = std::fmod(t, period);
        if (inPeriod < onSeconds) samples[i] = voice(t) * ramp(inPeriod, onSeconds - inPeriod, 0.005);
    }
    return samples;
}

}  // namespace

std::optional<DtmfPair> dtmfFrequencies(char key) {
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 3; ++column) {
            if (kKeypad[row][column] == key) return DtmfPair{kRowHz[row], kColumnHz[column]};
        }
    }
    return std::nullopt;
}

std::vector<double> dtmfTone(char key, size_t count, uint32_t sampleRate) {
    const auto pair = dtmfFrequencies(key);
    if (!pair) throw std::runtime_error(std::string("no DTMF key '") + key + "'");
    const double length = static_cast<double>(count) / sampleRate;
    std::vector<double> samples(count);
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        samples[i] = 0.4 * (sine(pair->lowHz, t) + sine(pair->highHz, t)) * ramp(t, length - t, 0.004);
    }
    return samples;
}

// A short tick: a 1.8 kHz ping with a little noise, dying away within a few milliseconds.
std::vector<double> keyClick(size_t count, uint32_t sampleRate) {
    std::vector<double> samples(count);
    uint32_t noise = 0x1234567;
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        noise = noise * 1664525u + 1013904223u;
        const double hiss = static_cast<double>(noise >> 8) / double(1u << 24) * 2.0 - 1.0;
        samples[i] = std::exp(-t / 0.003) * (0.7 * sine(1800, t) + 0.2 * hiss);
    }
    return samples;
}

// The busy signal: 425 Hz, half a second on, half a second off.
std::vector<double> busySignal(size_t count, uint32_t sampleRate) {
    return cadenced(count, sampleRate, 0.5, 0.5, [](double t) { return 0.5 * sine(425, t); });
}

// Two falling bell notes, a quarter of a second each.
std::vector<double> chime(size_t count, uint32_t sampleRate) {
    std::vector<double> samples(count);
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const bool second = t >= 0.25;
        const double noteTime = second ? t - 0.25 : t;
        const double hz = second ? 660 : 880;
        samples[i] = 0.8 * std::exp(-noteTime / 0.08) * sine(hz, noteTime) * ramp(noteTime, 1.0, 0.002);
    }
    return samples;
}

// The ringing tone a caller hears: 440 Hz with 480 Hz, two seconds on, four seconds off.
std::vector<double> ringback(size_t count, uint32_t sampleRate) {
    return cadenced(count, sampleRate, 2.0, 4.0,
                    [](double t) { return 0.35 * (sine(440, t) + sine(480, t)); });
}

}  // namespace assetgen
