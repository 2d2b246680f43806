#include "RarivOredu/diarization/DiarizerConfig.h"

#include <cmath>
#include <string>

#include "RarivOredu/shared/DiarizerError.h"
#include "RarivOredu/shared/NumberFormat.h"

namespace rarivoredu {

namespace {

constexpr std::int64_t modelSampleRate = 16000;
constexpr std::int64_t maxChunkSeconds = 10;

std::string seconds(std::int64_t value) { return std::to_string(value) + " s"; }

}  // namespace

DiarizerConfig::Chunking DiarizerConfig::chunking(std::int64_t sampleRate) const {
    if (sampleRate != modelSampleRate) {
        throw DiarizerError::invalidConfiguration("sample rate " + std::to_string(sampleRate) +
                                                  " Hz; the diarizer takes 16000 Hz audio");
    }
    if (!std::isfinite(chunkDuration) || !std::isfinite(chunkOverlap)) {
        throw DiarizerError::invalidConfiguration("chunkDuration " + formatShortestFloat(chunkDuration) +
                                                  " and chunkOverlap " + formatShortestFloat(chunkOverlap) +
                                                  " must be finite");
    }
    // Halves round away from zero: 10.4 s is 10 s, 10.5 s is 11 s.
    const double chunkSeconds = std::round(static_cast<double>(chunkDuration));
    const double overlapSeconds = std::round(static_cast<double>(chunkOverlap));
    if (chunkSeconds < 1 || chunkSeconds > maxChunkSeconds) {
        throw DiarizerError::invalidConfiguration("chunkDuration " + formatShortestFloat(chunkDuration) + " s rounds to " +
                                                  formatShortest(chunkSeconds) +
                                                  " s; chunks are 1 to 10 s, the length the segmentation model takes");
    }
    const auto chunk = static_cast<std::int64_t>(chunkSeconds);
    if (overlapSeconds < 0 || overlapSeconds >= chunkSeconds) {
        throw DiarizerError::invalidConfiguration("chunkOverlap " + formatShortestFloat(chunkOverlap) + " s rounds to " +
                                                  formatShortest(overlapSeconds) + " s; it must be 0 s or more and less than the chunk (" +
                                                  seconds(chunk) + ") so that each chunk moves on");
    }
    Chunking result;
    result.chunkSamples = sampleRate * chunk;
    result.overlapSamples = sampleRate * static_cast<std::int64_t>(overlapSeconds);
    result.stepSamples = result.chunkSamples - result.overlapSamples;
    return result;
}

}  // namespace rarivoredu
