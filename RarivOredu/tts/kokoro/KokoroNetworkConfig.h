#pragma once

#include <string>
#include <vector>

namespace rarivoredu {

// The numbers of a Kokoro network that its weights do not show: the text model's heads and
// passes of its shared layer, and the vocoder's upsampling and inverse STFT. Widths and kernel
// sizes are read from the weights themselves.
struct KokoroNetworkConfig {
    static constexpr int sampleRate = 24000;  // Hz of the audio
    // The most samples one duration frame may make (Kokoro's make 600).
    static constexpr int maxSamplesPerFrame = sampleRate;
    int attentionHeads = 12;
    int albertLayers = 12;
    std::vector<int> upsampleRates{10, 6};
    std::vector<std::vector<int>> resblockDilations{{1, 3, 5}, {1, 3, 5}, {1, 3, 5}};
    int istftFFT = 20;
    int istftHop = 5;

    // Samples of 24 kHz audio one duration frame makes: hop × the upsampling rates × 2; above
    // maxSamplesPerFrame it is maxSamplesPerFrame + 1.
    int samplesPerFrame() const;

    // From the model repository's config.json ("plbert", "istftnet"); members it lacks keep the
    // values above. Throws CheckpointError::malformed naming the member that is not as expected.
    static KokoroNetworkConfig fromJSON(const std::string& text);
};

}  // namespace rarivoredu
