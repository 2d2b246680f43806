#pragma once

#include <cstdint>

namespace rarivoredu {

// Fixed dimensions of the recognition models.
struct ASRConstants {
    ASRConstants() = delete;

    static constexpr int samplesPerFeatureFrame = 160;
    static constexpr int featureFramesPerEncoderFrame = 8;
    static constexpr int samplesPerEncoderFrame = samplesPerFeatureFrame * featureFramesPerEncoderFrame;  // 80 ms
    static constexpr int encoderHiddenSize = 1024;
    static constexpr int decoderHiddenSize = 640;
    static constexpr double unusedRatio = 0.15;

    // ceil(samples ÷ 1280): 0 for 0, 1 for 1 to 1280, 2 for 1281.
    static constexpr std::int64_t calculateEncoderFrames(std::int64_t samples) noexcept {
        return samples <= 0 ? 0 : (samples + samplesPerEncoderFrame - 1) / samplesPerEncoderFrame;
    }
};

}  // namespace rarivoredu
