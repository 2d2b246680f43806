#pragma once

#include <cstdint>

#include "RarivOredu/checkpoint/StateDict.h"

namespace testsupport {

// Random weights in the layout of the public Kokoro checkpoint (names after the "module." prefix,
// weight-normed convolutions as weight_g / weight_v), scaled so that the network's signals stay
// in range: durations of a few frames per token, a pitch around 150 Hz.
struct KokoroRandomWeights {
    struct Widths {
        int tokens = 178;
        int hidden = 512;
        int style = 128;
        int layers = 3;
        int maxDuration = 50;
        int textKernel = 5;
        int bertEmbedding = 128;
        int bertHidden = 768;
        int bertIntermediate = 2048;
        int positions = 512;
        int decoder = 1024;
        int asrResidual = 64;
        int generator = 512;  // channels into the first upsampling
    };

    // The real model's widths (Widths{}): about 82 million parameters.
    static rarivoredu::StateDict make(const Widths& widths, std::uint64_t seed = 1);
    static rarivoredu::StateDict realSize(std::uint64_t seed = 1) { return make(Widths{}, seed); }
};

}  // namespace testsupport
