#pragma once

#include <cstddef>
#include <vector>

namespace rarivoredu {

// Frame-wise activity of the three local speakers of one chunk, frame-major: the value of
// speaker k in frame f is at f × 3 + k. The segmentation step writes 0.0 or 1.0. The storage is
// reused from chunk to chunk.
struct SpeakerActivity {
    static constexpr int speakers = 3;

    int frames = 0;
    std::vector<float> values;

    void reset(int frameCount) {
        frames = frameCount;
        values.assign(static_cast<std::size_t>(frameCount) * speakers, 0.0f);
    }
    float at(int frame, int speaker) const noexcept {
        return values[static_cast<std::size_t>(frame) * speakers + static_cast<std::size_t>(speaker)];
    }
    float& at(int frame, int speaker) noexcept {
        return values[static_cast<std::size_t>(frame) * speakers + static_cast<std::size_t>(speaker)];
    }
};

}  // namespace rarivoredu
