#pragma once

// Signals and measurements for audio tests.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <span>
#include <string>
#include <vector>

namespace testsupport {

inline std::vector<float> sine(double frequency, double sampleRate, std::size_t frames, float amplitude = 0.5f,
                               double phase = 0.0) {
    std::vector<float> samples(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        samples[i] = amplitude * static_cast<float>(
                                     std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(i) / sampleRate + phase));
    }
    return samples;
}

// The frequency of a clean tone from its rising zero crossings (interpolated between samples).
// Returns 0 when there are fewer than two crossings.
inline double zeroCrossingFrequency(std::span<const float> samples, double sampleRate) {
    double first = -1.0;
    double last = -1.0;
    int crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (samples[i - 1] < 0.0f && samples[i] >= 0.0f) {
            const double t = static_cast<double>(i - 1) + samples[i - 1] / (samples[i - 1] - samples[i]);
            if (first < 0.0) first = t;
            last = t;
            ++crossings;
        }
    }
    if (crossings < 2) return 0.0;
    return (crossings - 1) * sampleRate / (last - first);
}

// The amplitude of one frequency in the samples (a single DFT bin, Hann window, any frequency).
inline double toneAmplitude(std::span<const float> samples, double sampleRate, double frequency) {
    const std::size_t n = samples.size();
    if (n == 0) return 0.0;
    double re = 0.0;
    double im = 0.0;
    double windowSum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n));
        const double angle = 2.0 * std::numbers::pi * frequency * static_cast<double>(i) / sampleRate;
        re += w * samples[i] * std::cos(angle);
        im -= w * samples[i] * std::sin(angle);
        windowSum += w;
    }
    return 2.0 * std::hypot(re, im) / windowSum;
}

// A least-squares fit of one sine of a known frequency: its amplitude and the largest distance of
// any sample from the fitted sine. A jump in the tone's phase (audio lost or repeated) shows as a
// residual close to the amplitude; a clean tone leaves only the converter's ripple.
struct SineFit {
    double amplitude = 0.0;
    double maxResidual = 0.0;
};

inline SineFit fitSine(std::span<const float> samples, double sampleRate, double frequency) {
    double ss = 0.0, sc = 0.0, cc = 0.0, ys = 0.0, yc = 0.0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double angle = 2.0 * std::numbers::pi * frequency * static_cast<double>(i) / sampleRate;
        const double s = std::sin(angle);
        const double c = std::cos(angle);
        ss += s * s;
        sc += s * c;
        cc += c * c;
        ys += samples[i] * s;
        yc += samples[i] * c;
    }
    const double determinant = ss * cc - sc * sc;
    if (determinant == 0.0) return {};
    const double a = (ys * cc - yc * sc) / determinant;
    const double b = (yc * ss - ys * sc) / determinant;
    SineFit fit;
    fit.amplitude = std::hypot(a, b);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double angle = 2.0 * std::numbers::pi * frequency * static_cast<double>(i) / sampleRate;
        fit.maxResidual = std::max(fit.maxResidual, std::abs(samples[i] - (a * std::sin(angle) + b * std::cos(angle))));
    }
    return fit;
}

// The samples without the first and last `margin` of them.
inline std::span<const float> middle(std::span<const float> samples, std::size_t margin) {
    if (samples.size() <= 2 * margin) return {};
    return samples.subspan(margin, samples.size() - 2 * margin);
}

// The bytes of a WAV file of 32-bit float samples (interleaved when there are several channels), as
// a recorder might write it.
inline std::string floatWav(const std::vector<float>& interleaved, std::uint32_t rate, std::uint16_t channels = 1) {
    const auto put32 = [](std::string& s, std::uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); };
    const auto put16 = [](std::string& s, std::uint16_t v) { s.append(reinterpret_cast<const char*>(&v), 2); };
    const auto dataBytes = static_cast<std::uint32_t>(interleaved.size() * 4);
    std::string bytes = "RIFF";
    put32(bytes, 36 + dataBytes);
    bytes += "WAVEfmt ";
    put32(bytes, 16);
    put16(bytes, 3);  // IEEE float
    put16(bytes, channels);
    put32(bytes, rate);
    put32(bytes, rate * channels * 4);
    put16(bytes, static_cast<std::uint16_t>(channels * 4));
    put16(bytes, 32);
    bytes += "data";
    put32(bytes, dataBytes);
    bytes.append(reinterpret_cast<const char*>(interleaved.data()), dataBytes);
    return bytes;
}

inline std::filesystem::path audioFixture(const std::string& name) {
    return std::filesystem::path(PARLOQUIN_SOURCE_DIR) / "tests" / "fixtures" / "audio" / name;
}

}  // namespace testsupport
