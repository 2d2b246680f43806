#pragma once

#include <vector>

namespace rarivoredu {

// Parameters of the greedy token-and-duration decoder.
struct TdtConfig {
    // Carried for callers; the greedy decoder does not read it.
    bool includeTokenDuration = true;
    // Most non-blank tokens at one encoder frame before the decoder is forced one frame on; also
    // the number of finishing steps on the last chunk.
    int maxSymbolsPerStep = 10;
    // Duration output of the joint (a bin index) to encoder frames to advance.
    std::vector<int> durationBins{0, 1, 2, 3, 4};
    // The blank token; also fed to the Decoder before any token was emitted.
    int blankId = 8192;
    // How far into the current tokens the token merge looks for a repeated run.
    int boundarySearchFrames = 20;
    // Most tokens one decoding call emits in its main loop.
    int maxTokensPerChunk = 150;
    // On the last chunk, the finishing steps stop after this many blanks in a row.
    int consecutiveBlankLimit = 5;

    static const TdtConfig& defaultConfig();

    // Throws std::invalid_argument when a value would stall or break decoding: a negative
    // duration bin (the frame pointer would run backwards), no bins at all, or a negative count.
    void validate() const;

    bool operator==(const TdtConfig&) const = default;
};

}  // namespace rarivoredu
