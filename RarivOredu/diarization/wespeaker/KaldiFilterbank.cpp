#include "RarivOredu/diarization/wespeaker/KaldiFilterbank.h"

#include <algorithm>
#include <cmath>

namespace rarivoredu {

using platform::MLMultiArray;
using platform::MLMultiArrayDataType;

namespace {

constexpr double pi = 3.14159265358979323846;

float melOf(float hertz) { return 1127.0f * std::log(1.0f + hertz / 700.0f); }

}  // namespace

platform::MLMultiArrayPtr KaldiFilterbank::window() {
    auto window = MLMultiArray::create({frameLength}, MLMultiArrayDataType::float32);
    float* w = window->data<float>();
    for (int n = 0; n < frameLength; ++n) {
        w[n] = static_cast<float>(0.54 - 0.46 * std::cos(2.0 * pi * n / (frameLength - 1)));
    }
    return window;
}

platform::MLMultiArrayPtr KaldiFilterbank::melBanks() {
    // In float, as Kaldi's reference computes the bins, so the two agree to the last bits.
    constexpr int fftBins = paddedLength / 2;
    const double nyquist = 0.5 * sampleRate;
    const double melLow = 1127.0 * std::log(1.0 + lowFrequency / 700.0);
    const double melHigh = 1127.0 * std::log(1.0 + nyquist / 700.0);
    const auto delta = static_cast<float>((melHigh - melLow) / (melBins + 1));
    const auto low = static_cast<float>(melLow);
    const float binWidth = static_cast<float>(sampleRate) / paddedLength;
    auto banks = MLMultiArray::create({fftBins + 1, melBins}, MLMultiArrayDataType::float32);
    float* out = banks->data<float>();
    std::fill(out, out + (fftBins + 1) * melBins, 0.0f);
    for (int bin = 0; bin < melBins; ++bin) {
        const float left = low + static_cast<float>(bin) * delta;
        const float center = low + static_cast<float>(bin + 1) * delta;
        const float right = low + static_cast<float>(bin + 2) * delta;
        for (int k = 0; k < fftBins; ++k) {
            const float mel = melOf(binWidth * static_cast<float>(k));
            const float up = (mel - left) / (center - left);
            const float down = (right - mel) / (right - center);
            out[k * melBins + bin] = std::max(0.0f, std::min(up, down));
        }
    }
    return banks;
}

std::string KaldiFilterbank::methodSource(const std::string& window, const std::string& mel) {
    const std::string length = std::to_string(frameLength), shift = std::to_string(frameShift);
    return "def fbank(self, wave: Tensor) -> Tensor:\n"
           "    frames = wave.unfold(0, " + length + ", " + shift + ")\n"
           "    frames = frames - torch.mean(frames, [1], True)\n"
           "    previous = torch.cat([frames[:, :1], frames[:, :-1]], 1)\n"
           "    frames = (frames - 0.97 * previous) * self." + window + "\n"
           "    power = torch.fft_rfft(frames, " + std::to_string(paddedLength) + ", -1, None).abs().pow(2.0)\n"
           "    return torch.clamp_min(torch.mm(power, self." + mel + "), 1.1920928955078125e-07).log()\n";
}

}  // namespace rarivoredu
