#include "RarivOredu/asr/StreamingAsrConfig.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "RarivOredu/asr/StreamingAsrError.h"
#include "RarivOredu/shared/ASRConstants.h"
#include "RarivOredu/shared/NumberFormat.h"

namespace rarivoredu {
namespace {

constexpr double kSampleRate = 16000.0;
constexpr double kFrameSamples = ASRConstants::samplesPerEncoderFrame;
// Whole encoder frames in the recogniser's window of 240,000 samples.
constexpr int kWindowFrames = 240000 / ASRConstants::samplesPerEncoderFrame;

// Whole frames in a span of seconds, at most `limit`.
int framesIn(double seconds, int limit) {
    return static_cast<int>(std::min(std::floor(seconds * kSampleRate / kFrameSamples), static_cast<double>(limit)));
}

}  // namespace

StreamingAsrConfig::StreamingAsrConfig(double chunkSeconds, double hypothesisChunkSeconds, double leftContextSeconds,
                                       double rightContextSeconds, double minContextForConfirmation,
                                       double confirmationThreshold)
    : chunkSeconds(chunkSeconds),
      hypothesisChunkSeconds(hypothesisChunkSeconds),
      leftContextSeconds(leftContextSeconds),
      rightContextSeconds(rightContextSeconds),
      minContextForConfirmation(minContextForConfirmation),
      confirmationThreshold(confirmationThreshold) {}

StreamingAsrConfig::StreamingAsrConfig(double chunkSeconds, double confirmationThreshold)
    : StreamingAsrConfig(chunkSeconds, std::min(chunkSeconds * 0.5, 1.0), 10.0, 2.0, 10.0, confirmationThreshold) {}

StreamingAsrConfig StreamingAsrConfig::custom(double chunkSeconds, double confirmationThreshold) {
    return StreamingAsrConfig(chunkSeconds, confirmationThreshold);
}

StreamingAsrConfig StreamingAsrConfig::longContext() { return StreamingAsrConfig(15.0, 2.0, 10.0, 2.0, 10.0, 0.85); }

StreamingAsrConfig StreamingAsrConfig::shortContext() { return StreamingAsrConfig(11.0, 1.0, 2.0, 2.0, 10.0, 0.8); }

void StreamingAsrConfig::validate() const {
    const std::pair<const char*, double> values[] = {
        {"chunkSeconds", chunkSeconds},
        {"hypothesisChunkSeconds", hypothesisChunkSeconds},
        {"leftContextSeconds", leftContextSeconds},
        {"rightContextSeconds", rightContextSeconds},
        {"minContextForConfirmation", minContextForConfirmation},
        {"confirmationThreshold", confirmationThreshold},
    };
    for (const auto& [field, value] : values) {
        if (!std::isfinite(value)) {
            throw StreamingAsrError::invalidConfiguration(std::string(field) + " must be a finite number, got " +
                                                          formatShortest(value));
        }
    }
    if (chunkSeconds * kSampleRate < kFrameSamples || chunkSeconds * kSampleRate > 240000.0) {
        throw StreamingAsrError::invalidConfiguration("chunkSeconds must be between 0.08 and 15 seconds, got " +
                                                      formatShortest(chunkSeconds));
    }
    for (const auto& [field, value] : {values[2], values[3]}) {
        if (value < 0) {
            throw StreamingAsrError::invalidConfiguration(std::string(field) + " must not be negative, got " +
                                                          formatShortest(value));
        }
    }
}

int StreamingAsrConfig::chunkFrames() const { return framesIn(chunkSeconds, kWindowFrames); }

int StreamingAsrConfig::rightContextFrames() const {
    return framesIn(rightContextSeconds, kWindowFrames - chunkFrames());
}

int StreamingAsrConfig::leftContextFrames() const {
    return framesIn(leftContextSeconds, kWindowFrames - chunkFrames() - rightContextFrames());
}

}  // namespace rarivoredu
