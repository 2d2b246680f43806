#include "RarivOredu/vad/VadSegmentationConfig.h"

#include <string>

#include "RarivOredu/shared/NumberFormat.h"
#include "RarivOredu/vad/VadError.h"

namespace rarivoredu {

namespace {

constexpr float negativeThresholdFloor = 0.01f;

// NaN fails every test written this way.
void require(bool holds, const char* field, const std::string& value, const char* limit) {
    if (!holds) throw VadError::invalidConfiguration(std::string(field) + " is " + value + "; it must be " + limit);
}

}  // namespace

VadSegmentationConfig::VadSegmentationConfig(double minSpeechDuration, double minSilenceDuration,
                                             double maxSpeechDuration, double speechPadding,
                                             float silenceThresholdForSplit, std::optional<float> negativeThreshold,
                                             float negativeThresholdOffset, double minSilenceAtMaxSpeech,
                                             bool useMaxPossibleSilenceAtMaxSpeech)
    : minSpeechDuration(minSpeechDuration),
      minSilenceDuration(minSilenceDuration),
      maxSpeechDuration(maxSpeechDuration),
      speechPadding(speechPadding),
      silenceThresholdForSplit(silenceThresholdForSplit),
      negativeThreshold(negativeThreshold),
      negativeThresholdOffset(negativeThresholdOffset),
      minSilenceAtMaxSpeech(minSilenceAtMaxSpeech),
      useMaxPossibleSilenceAtMaxSpeech(useMaxPossibleSilenceAtMaxSpeech) {
    validate();
}

const VadSegmentationConfig& VadSegmentationConfig::defaultConfig() {
    static const VadSegmentationConfig config;
    return config;
}

void VadSegmentationConfig::validate() const {
    require(minSpeechDuration >= 0, "minSpeechDuration", formatShortest(minSpeechDuration), "0 or more");
    require(minSilenceDuration >= 0, "minSilenceDuration", formatShortest(minSilenceDuration), "0 or more");
    require(maxSpeechDuration > 0, "maxSpeechDuration", formatShortest(maxSpeechDuration), "above 0");
    require(speechPadding >= 0, "speechPadding", formatShortest(speechPadding), "0 or more");
    require(silenceThresholdForSplit >= 0 && silenceThresholdForSplit <= 1, "silenceThresholdForSplit",
            formatShortestFloat(silenceThresholdForSplit), "within 0 to 1");
    require(negativeThresholdOffset >= 0, "negativeThresholdOffset", formatShortestFloat(negativeThresholdOffset),
            "0 or more");
    require(minSilenceAtMaxSpeech >= 0, "minSilenceAtMaxSpeech", formatShortest(minSilenceAtMaxSpeech), "0 or more");
    if (negativeThreshold) {
        require(*negativeThreshold >= 0 && *negativeThreshold <= 1, "negativeThreshold",
                formatShortestFloat(*negativeThreshold), "within 0 to 1");
    }
}

float VadSegmentationConfig::effectiveNegativeThreshold(float threshold) const noexcept {
    if (negativeThreshold) return *negativeThreshold;
    const float derived = threshold - negativeThresholdOffset;
    return derived <= negativeThresholdFloor ? negativeThresholdFloor : derived;
}

}  // namespace rarivoredu
