#pragma once

#include <optional>

#include "RarivOredu/vad/VadStreamEvent.h"
#include "RarivOredu/vad/VadStreamState.h"

namespace rarivoredu {

// The streaming detector's answer to one chunk.
struct VadStreamResult {
    VadStreamState state;                // to pass with the next chunk
    std::optional<VadStreamEvent> event;  // on a start or an end of speech only
    float probability = 0;               // of this chunk
};

}  // namespace rarivoredu
