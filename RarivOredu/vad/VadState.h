#pragma once

#include <array>

namespace rarivoredu {

// The recurrent state of the voice activity model, carried from one chunk to the next. The
// lengths are fixed; values not given are zero.
struct VadState {
    static constexpr int stateSize = 128;
    static constexpr int contextSize = 64;

    std::array<float, stateSize> hiddenState{};
    std::array<float, stateSize> cellState{};
    std::array<float, contextSize> context{};  // the last audio samples of the previous chunk

    // All zeros: the state before the first chunk.
    static VadState initial() noexcept { return {}; }

    bool operator==(const VadState&) const = default;
};

}  // namespace rarivoredu
