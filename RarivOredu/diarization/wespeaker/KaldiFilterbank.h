#pragma once

#include <string>

#include "Platform/ml/MLMultiArray.h"

namespace rarivoredu {

// Kaldi's log mel filterbank (compute-fbank) in TorchScript, as the WeSpeaker models were trained
// on it: 16 kHz audio in frames of 400 samples every 160 (only whole frames), the frame's mean
// removed, pre-emphasis 0.97 (the first sample against itself), a symmetric Hamming window, zero
// padding to 512, the power spectrum, 80 triangular bins evenly spaced on the mel scale
// 1127 ln(1 + f / 700) from 20 Hz to 8 kHz, and the natural log of each bin's energy, at least
// float epsilon. No dither, no energy column.
class KaldiFilterbank {
public:
    static constexpr int sampleRate = 16000;
    static constexpr int frameLength = 400;
    static constexpr int frameShift = 160;
    static constexpr int paddedLength = 512;
    static constexpr int melBins = 80;
    static constexpr double lowFrequency = 20.0;
    static constexpr double preemphasis = 0.97;

    // Frames of `samples` samples.
    static constexpr int frameCount(int samples) { return samples < frameLength ? 0 : 1 + (samples - frameLength) / frameShift; }

    // The window, [400].
    static platform::MLMultiArrayPtr window();
    // The mel bins as the right-hand side of a matrix product with the power spectrum: [257, 80].
    static platform::MLMultiArrayPtr melBanks();

    // TorchScript of a method `fbank(self, wave: Tensor) -> Tensor` (wave [samples] in 16-bit
    // sample units → [frames, 80]) that uses the buffers named `window` and `mel` of the module.
    static std::string methodSource(const std::string& window, const std::string& mel);
};

}  // namespace rarivoredu
