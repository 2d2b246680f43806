#include "RarivOredu/asr/ChunkProcessor.h"

#include <algorithm>
#include <numeric>

#include "Platform/system/CancellationToken.h"
#include "Platform/system/Progress.h"
#include "RarivOredu/asr/ASRError.h"
#include "RarivOredu/asr/AsrManager.h"
#include "RarivOredu/asr/TdtDecoderV3.h"
#include "RarivOredu/shared/ASRConstants.h"

namespace rarivoredu {
namespace {

constexpr std::int64_t kWindowSamples = 240000;
constexpr std::int64_t kFrameSamples = ASRConstants::samplesPerEncoderFrame;

}  // namespace

ASRResult ChunkProcessor::process(AsrManager& manager, TdtDecoderState& decoderState,
                                  Clock::time_point startTime) const {
    const auto total = static_cast<std::int64_t>(audioSamples.size());
    const auto center = static_cast<std::int64_t>(centerSeconds * static_cast<double>(sampleRate));

    std::vector<int> tokens;
    std::vector<int> frames;
    std::vector<float> confidences;
    std::vector<float> windowBuffer;
    std::int64_t centerStart = 0;
    std::int64_t nextCenterStart = center;
    int windowIndex = 0;
    int resumeAnchor = 0;
    // Whoever waits hears of each window done (the last one ends the loop, whatever the count).
    const std::int64_t windowCount = center > 0 ? std::max<std::int64_t>((total + center - 1) / center, 1) : 1;
    if (total > 0) platform::Progress::report(0, windowCount);
    while (total > 0) {
        // A long recording stops between windows once its work is cancelled.
        platform::CancellationToken::checkCancellation();
        const bool isLastChunk = nextCenterStart >= total;
        auto chunk = processChunk(centerStart, windowIndex, resumeAnchor, isLastChunk, manager, decoderState,
                                  windowBuffer);
        if (chunk.tokens.size() != chunk.timestamps.size() || chunk.tokens.size() != chunk.confidences.size()) {
            throw ASRError::processingFailed("Token, timestamp, and confidence arrays are misaligned");
        }
        tokens.insert(tokens.end(), chunk.tokens.begin(), chunk.tokens.end());
        frames.insert(frames.end(), chunk.timestamps.begin(), chunk.timestamps.end());
        confidences.insert(confidences.end(), chunk.confidences.begin(), chunk.confidences.end());
        resumeAnchor = chunk.resumeAnchor;
        ++windowIndex;
        platform::Progress::report(std::min<std::int64_t>(windowIndex, windowCount), windowCount);
        if (nextCenterStart >= total || center <= 0) break;
        centerStart = nextCenterStart;
        nextCenterStart = centerStart + center;
    }

    std::vector<std::size_t> order(tokens.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return frames[a] < frames[b]; });
    std::vector<int> sortedTokens;
    std::vector<int> sortedFrames;
    std::vector<float> sortedConfidences;
    for (const auto i : order) {
        sortedTokens.push_back(tokens[i]);
        sortedFrames.push_back(frames[i]);
        sortedConfidences.push_back(confidences[i]);
    }
    return manager.assembleResult(sortedTokens, sortedFrames, sortedConfidences, {}, total, startTime);
}

ChunkProcessor::ChunkResult ChunkProcessor::processChunk(std::int64_t centerStart, int windowIndex, int resumeAnchor,
                                                         bool isLastChunk, AsrManager& manager,
                                                         TdtDecoderState& decoderState,
                                                         std::vector<float>& windowBuffer) const {
    const auto total = static_cast<std::int64_t>(audioSamples.size());
    const auto sr = static_cast<double>(sampleRate);
    const auto center = static_cast<std::int64_t>(centerSeconds * sr);
    const auto leftContext = static_cast<std::int64_t>(leftContextSeconds * sr);
    const auto rightContext = static_cast<std::int64_t>(rightContextSeconds * sr);
    const std::int64_t remaining = total - centerStart;

    ChunkResult result;
    result.resumeAnchor = resumeAnchor;

    std::int64_t windowStart = std::max<std::int64_t>(centerStart - leftContext, 0);
    if (windowIndex > 0 && isLastChunk && remaining < center) {
        // The last window reaches back to hold a whole model window of audio. Its start stays on
        // the encoder frame grid so that its frames are the recording's frames.
        const std::int64_t stretched = std::min(centerStart, std::min(total, kWindowSamples) - remaining);
        windowStart = centerStart - stretched;
        windowStart = (windowStart + kFrameSamples - 1) / kFrameSamples * kFrameSamples;
        windowStart = std::min(windowStart, centerStart);
    }
    const std::int64_t centerEnd = std::min(centerStart + center, total);
    const std::int64_t windowEnd = std::min(centerEnd + rightContext, total);
    if (windowStart >= windowEnd) return result;

    const std::int64_t count = windowEnd - windowStart;
    windowBuffer.assign(audioSamples.begin() + windowStart, audioSamples.begin() + windowEnd);
    if (count < kWindowSamples) windowBuffer.resize(static_cast<std::size_t>(kWindowSamples), 0.0f);

    const int frameOffset = static_cast<int>(windowStart / kFrameSamples);
    // A window decodes its centre; the last one decodes to the end of the audio.
    const auto decodeEnd = isLastChunk ? windowEnd : centerEnd;
    const int decodeFrames = static_cast<int>(ASRConstants::calculateEncoderFrames(decodeEnd - windowStart));
    // The state's overrun counts from the previous window's end; move it into this window.
    const int adjustment = windowIndex == 0 ? 0 : resumeAnchor - frameOffset;
    const int startFrame = TdtDecoderV3::startFrame(decoderState.timeJump, adjustment);

    auto inference = manager.executeMLInference(windowBuffer, static_cast<int>(count), decodeFrames, decoderState,
                                                adjustment, isLastChunk, frameOffset);
    const int usableFrames = std::min(inference.encoderLength, decodeFrames);
    if (inference.encoderLength >= 2 && startFrame < usableFrames) result.resumeAnchor = frameOffset + usableFrames;

    auto& hypothesis = inference.hypothesis;
    if (hypothesis.ySequence.empty() || inference.encoderLength == 0) return result;
    result.tokens = std::move(hypothesis.ySequence);
    result.timestamps = std::move(hypothesis.timestamps);
    result.confidences = std::move(hypothesis.tokenConfidences);
    result.largestFrame = *std::max_element(result.timestamps.begin(), result.timestamps.end());
    return result;
}

}  // namespace rarivoredu
