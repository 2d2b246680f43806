#pragma once

#include <optional>
#include <vector>

#include "RarivOredu/asr/TdtDecoderState.h"

namespace rarivoredu {

// What one decoding call produces. ySequence, timestamps and tokenConfidences always have the
// same length.
struct TdtHypothesis {
    float score = 0;  // sum of the confidences of the emitted tokens
    std::vector<int> ySequence;  // emitted token ids; never the blank
    // The decoder state after the last Decoder run of the call; the incoming state when none ran.
    std::optional<TdtDecoderState> decState;
    std::vector<int> timestamps;  // per token: its encoder frame plus the call's global frame offset
    std::vector<int> tokenDurations;  // left empty by the greedy decoder
    std::vector<float> tokenConfidences;  // per token: the joint's probability, in [0, 1]
    std::optional<int> lastToken;
};

}  // namespace rarivoredu
