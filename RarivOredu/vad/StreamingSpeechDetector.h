#pragma once

#include <cstdint>
#include <optional>

#include "RarivOredu/vad/VadSegmentationConfig.h"
#include "RarivOredu/vad/VadStreamEvent.h"
#include "RarivOredu/vad/VadStreamResult.h"

namespace rarivoredu {

// The start and end decisions of streaming detection, given each chunk's probability. Two
// thresholds with hysteresis: speech starts on a chunk at or above the threshold and ends once
// the probability has stayed below the negative threshold for minSilenceDuration; chunks in
// between change nothing. Positions count the samples of every chunk given; a start is placed
// speechPadding before the chunk that starts speech, an end speechPadding after the chunk in
// which the silence began. Of the configuration only speechPadding, minSilenceDuration and the
// negative threshold count; it must have passed validate().
class StreamingSpeechDetector {
public:
    StreamingSpeechDetector() = delete;

    // The state after a chunk of `chunkLength` samples with probability p, whose model state
    // became `modelState`.
    static VadStreamResult advance(const VadStreamState& state, std::int64_t chunkLength, float p,
                                   const VadState& modelState, float threshold, const VadSegmentationConfig& config,
                                   bool returnSeconds, int timeResolution);

    // A stream that ends inside speech ends it at its last sample; nothing otherwise.
    static std::optional<VadStreamEvent> finish(const VadStreamState& state, bool returnSeconds, int timeResolution);

    // sampleIndex / 16000 rounded to `timeResolution` decimals, halves away from zero; the exact
    // seconds when the resolution is beyond what a double can scale by.
    static double eventTime(std::int64_t sampleIndex, int timeResolution) noexcept;

private:
    static VadStreamEvent event(VadStreamEvent::Kind kind, std::int64_t sampleIndex, bool returnSeconds,
                                int timeResolution);
};

}  // namespace rarivoredu
