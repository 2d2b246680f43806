#include "RarivOredu/vad/StreamingSpeechDetector.h"

#include <algorithm>
#include <cmath>

#include "RarivOredu/vad/VadSampleCount.h"

namespace rarivoredu {

VadStreamResult StreamingSpeechDetector::advance(const VadStreamState& state, std::int64_t chunkLength, float p,
                                                 const VadState& modelState, float threshold,
                                                 const VadSegmentationConfig& config, bool returnSeconds,
                                                 int timeResolution) {
    using S = VadSampleCount;
    const std::int64_t padding = S::fromSeconds(config.speechPadding);
    const std::int64_t minSilence = S::fromSeconds(config.minSilenceDuration);
    const std::int64_t processed = S::add(state.processedSamples, chunkLength);

    VadStreamResult result;
    result.state = {modelState, state.triggered, state.tempEndSample, processed};
    result.probability = p;
    auto& next = result.state;
    if (p >= threshold) {
        next.tempEndSample.reset();
        if (!state.triggered) {
            next.triggered = true;
            const std::int64_t at = std::max<std::int64_t>(0, S::subtract(S::subtract(processed, padding), chunkLength));
            result.event = event(VadStreamEvent::Kind::speechStart, at, returnSeconds, timeResolution);
        }
    } else if (p < config.effectiveNegativeThreshold(threshold) && state.triggered) {
        if (!next.tempEndSample) next.tempEndSample = processed;
        if (S::subtract(processed, *next.tempEndSample) >= minSilence) {
            const std::int64_t at =
                std::max<std::int64_t>(0, S::subtract(S::add(*next.tempEndSample, padding), chunkLength));
            next.triggered = false;
            next.tempEndSample.reset();
            result.event = event(VadStreamEvent::Kind::speechEnd, at, returnSeconds, timeResolution);
        }
    }
    return result;
}

std::optional<VadStreamEvent> StreamingSpeechDetector::finish(const VadStreamState& state, bool returnSeconds,
                                                              int timeResolution) {
    if (!state.triggered) return std::nullopt;
    return event(VadStreamEvent::Kind::speechEnd, std::max<std::int64_t>(0, state.processedSamples), returnSeconds,
                 timeResolution);
}

double StreamingSpeechDetector::eventTime(std::int64_t sampleIndex, int timeResolution) noexcept {
    const double seconds = static_cast<double>(sampleIndex) / VadSampleCount::sampleRate;
    const double scale = std::pow(10.0, timeResolution);
    const double scaled = seconds * scale;
    if (!std::isfinite(scaled) || scale == 0.0) return seconds;
    return std::round(scaled) / scale;
}

VadStreamEvent StreamingSpeechDetector::event(VadStreamEvent::Kind kind, std::int64_t sampleIndex, bool returnSeconds,
                                              int timeResolution) {
    VadStreamEvent e;
    e.kind = kind;
    e.sampleIndex = sampleIndex;
    if (returnSeconds) e.time = eventTime(sampleIndex, timeResolution);
    return e;
}

}  // namespace rarivoredu
