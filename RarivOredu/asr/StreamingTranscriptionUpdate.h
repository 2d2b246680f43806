#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Platform/system/Date.h"
#include "RarivOredu/asr/TokenTiming.h"

namespace rarivoredu {

// What streaming recognition publishes for one window.
struct StreamingTranscriptionUpdate {
    // The text of the window's new tokens.
    std::string text;
    // Whether the window met the confirmation rule (see StreamingAsrManager).
    bool isConfirmed = false;
    // The window confidence, in [0.1, 1.0] (0.5 when the decoder gave no confidences).
    float confidence = 0;
    // Wall-clock time at which the update was built.
    platform::Date timestamp;
    // The window's new token ids.
    std::vector<std::int64_t> tokenIds;
    // Their timings, in seconds from the start of the stream.
    std::vector<TokenTiming> tokenTimings;

    // The token text of every timing, in order.
    std::vector<std::string> tokenTexts() const;

    bool operator==(const StreamingTranscriptionUpdate&) const = default;
};

}  // namespace rarivoredu
