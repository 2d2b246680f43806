#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "RarivOredu/vad/VadSegmentationConfig.h"

namespace rarivoredu {

// Turns the speech probabilities of a whole recording, one per 4096-sample chunk of 16 kHz
// audio (chunk i at sample i × 4096), into speech regions in samples:
//  - a region opens on a chunk at or above the threshold and ends once the probability has
//    stayed below the negative threshold for minSilenceDuration (chunks between the two
//    thresholds neither end nor cancel a pending silence);
//  - regions shorter than minSpeechDuration are dropped;
//  - a region longer than the maximum (maxSpeechDuration less one chunk and both paddings) is
//    split, preferably at the longest clearly silent stretch inside it (a silence longer than
//    minSilenceAtMaxSpeech whose lowest probability is at most silenceThresholdForSplit); speech
//    that goes on past a split opens the next region there, so no speech falls between the two;
//  - a region still open at the end runs to the end of the recording; one that continues a split
//    is kept there whatever its length;
//  - regions are padded by speechPadding on both sides; neighbours closer than two paddings meet
//    in the middle of their gap. Everything is clamped to 0 … total.
// The configuration must have passed validate().
class SpeechSegmentation {
public:
    static constexpr std::int64_t chunkSize = 4096;

    struct SampleRange {
        std::int64_t start = 0;
        std::int64_t end = 0;
        bool operator==(const SampleRange&) const = default;
    };

    SpeechSegmentation() = delete;

    static std::vector<SampleRange> regions(std::span<const float> probabilities, std::int64_t totalSamples,
                                            float threshold, const VadSegmentationConfig& config);

private:
    static void pad(std::vector<SampleRange>& regions, std::int64_t padding, std::int64_t totalSamples);
};

}  // namespace rarivoredu
