#pragma once

#include <limits>
#include <optional>

namespace rarivoredu {

// How speech probabilities become speech regions (batch segmentation) and speech starts and ends
// (streaming). Durations are seconds.
//
// Limits: every duration 0 or more, maxSpeechDuration above 0 (infinity: no limit),
// silenceThresholdForSplit and negativeThreshold within 0 to 1, negativeThresholdOffset 0 or
// more; NaN is outside every limit. The full constructor and every operation that takes a
// configuration check them (validate) and throw VadError::invalidConfiguration.
struct VadSegmentationConfig {
    static constexpr double unlimited = std::numeric_limits<double>::infinity();

    static constexpr double defaultMinSpeechDuration = 0.15;
    static constexpr double defaultMinSilenceDuration = 0.75;
    static constexpr double defaultMaxSpeechDuration = 14.0;
    static constexpr double defaultSpeechPadding = 0.1;
    static constexpr float defaultSilenceThresholdForSplit = 0.3f;
    static constexpr float defaultNegativeThresholdOffset = 0.15f;
    static constexpr double defaultMinSilenceAtMaxSpeech = 0.098;
    static constexpr bool defaultUseMaxPossibleSilenceAtMaxSpeech = true;

    double minSpeechDuration = defaultMinSpeechDuration;    // shortest region kept
    double minSilenceDuration = defaultMinSilenceDuration;  // silence that ends a region
    double maxSpeechDuration = defaultMaxSpeechDuration;    // longer regions are split
    double speechPadding = defaultSpeechPadding;            // added on both sides of a region
    // A silence whose lowest probability is at or below this is the preferred split point.
    float silenceThresholdForSplit = defaultSilenceThresholdForSplit;
    // Below this a chunk is silence; absent: threshold − negativeThresholdOffset.
    std::optional<float> negativeThreshold;
    float negativeThresholdOffset = defaultNegativeThresholdOffset;
    // A silence must last longer than this to become a split point.
    double minSilenceAtMaxSpeech = defaultMinSilenceAtMaxSpeech;
    // At a split without a preferred point: the longest silence (true) or the latest (false).
    bool useMaxPossibleSilenceAtMaxSpeech = defaultUseMaxPossibleSilenceAtMaxSpeech;

    VadSegmentationConfig() = default;
    // Throws VadError::invalidConfiguration for a value outside the limits.
    VadSegmentationConfig(double minSpeechDuration, double minSilenceDuration = defaultMinSilenceDuration,
                          double maxSpeechDuration = defaultMaxSpeechDuration,
                          double speechPadding = defaultSpeechPadding,
                          float silenceThresholdForSplit = defaultSilenceThresholdForSplit,
                          std::optional<float> negativeThreshold = std::nullopt,
                          float negativeThresholdOffset = defaultNegativeThresholdOffset,
                          double minSilenceAtMaxSpeech = defaultMinSilenceAtMaxSpeech,
                          bool useMaxPossibleSilenceAtMaxSpeech = defaultUseMaxPossibleSilenceAtMaxSpeech);

    // The defaults, built once.
    static const VadSegmentationConfig& defaultConfig();

    // Throws VadError::invalidConfiguration naming the first field outside its limits.
    void validate() const;

    // negativeThreshold when given; else threshold − negativeThresholdOffset (in 32-bit floats),
    // raised to 0.01 when that is 0.01 or less.
    float effectiveNegativeThreshold(float threshold) const noexcept;
};

}  // namespace rarivoredu
