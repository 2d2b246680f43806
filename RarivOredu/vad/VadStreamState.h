#pragma once

#include <cstdint>
#include <optional>

#include "RarivOredu/vad/VadState.h"

namespace rarivoredu {

// What the streaming detector carries from one chunk to the next; the caller keeps it.
struct VadStreamState {
    VadState modelState;                        // model state after the last chunk
    bool triggered = false;                     // inside speech
    std::optional<std::int64_t> tempEndSample;  // where the pending silence is counted from
    std::int64_t processedSamples = 0;          // samples of all chunks given so far

    bool operator==(const VadStreamState&) const = default;
};

}  // namespace rarivoredu
