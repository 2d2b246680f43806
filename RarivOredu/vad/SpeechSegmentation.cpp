#include "RarivOredu/vad/SpeechSegmentation.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "RarivOredu/vad/VadSampleCount.h"

namespace rarivoredu {

namespace {

// A silence inside a region that a split may fall on.
struct CandidateSilence {
    std::int64_t start = 0;
    std::int64_t duration = 0;
    float minProbability = 1.0f;  // lowest probability below the negative threshold during it
};

// The longest of the candidates that pass `accepts`, the earliest on a tie.
template <typename Accepts>
const CandidateSilence* longest(const std::vector<CandidateSilence>& candidates, Accepts accepts) {
    const CandidateSilence* best = nullptr;
    for (const auto& candidate : candidates) {
        if (accepts(candidate) && (!best || candidate.duration > best->duration)) best = &candidate;
    }
    return best;
}

struct Limits {
    std::int64_t minSpeech;
    std::int64_t padding;
    std::int64_t minSilence;
    std::int64_t candidateSilence;
    std::optional<std::int64_t> maxSpeech;  // none: unlimited
    float threshold;
    float negativeThreshold;
    float splitThreshold;
    bool preferLongest;

    Limits(float threshold, const VadSegmentationConfig& config)
        : minSpeech(VadSampleCount::fromSeconds(config.minSpeechDuration)),
          padding(VadSampleCount::fromSeconds(config.speechPadding)),
          minSilence(VadSampleCount::fromSeconds(config.minSilenceDuration)),
          candidateSilence(VadSampleCount::fromSeconds(config.minSilenceAtMaxSpeech)),
          threshold(threshold),
          negativeThreshold(config.effectiveNegativeThreshold(threshold)),
          splitThreshold(config.silenceThresholdForSplit),
          preferLongest(config.useMaxPossibleSilenceAtMaxSpeech) {
        if (!std::isinf(config.maxSpeechDuration)) {
            using S = VadSampleCount;
            const auto samples = S::fromSeconds(config.maxSpeechDuration);
            maxSpeech = std::max<std::int64_t>(
                0, S::subtract(S::subtract(S::subtract(samples, SpeechSegmentation::chunkSize), padding), padding));
        }
    }
};

// The pass over the chunks, one step per chunk.
class Pass {
public:
    Pass(const Limits& limits, std::int64_t total) : limits_(limits), total_(total) {}

    void step(float p, std::int64_t cur) {
        if (p >= limits_.threshold) {
            if (tempEnd_ && cur - *tempEnd_ > limits_.candidateSilence) {
                possibleEnds_.push_back({*tempEnd_, cur - *tempEnd_, minProb_.value_or(1.0f)});
            }
            tempEnd_.reset();
            minProb_.reset();
            if (!triggered_) {
                triggered_ = true;
                continuesSplit_ = false;
                start_ = cur;
                return;
            }
        }
        if (!triggered_) return;
        if (limits_.maxSpeech && cur - start_ > *limits_.maxSpeech) {
            split(p, cur);
            return;
        }
        if (p < limits_.negativeThreshold) silence(p, cur);
    }

    std::vector<SpeechSegmentation::SampleRange> finish() {
        if (triggered_ && start_ < total_ && (continuesSplit_ || total_ - start_ >= limits_.minSpeech)) {
            regions_.push_back({start_, total_});
        }
        return std::move(regions_);
    }

private:
    void split(float p, std::int64_t cur) {
        const CandidateSilence* candidate =
            longest(possibleEnds_, [&](const CandidateSilence& c) { return c.minProbability <= limits_.splitThreshold; });
        if (!candidate && !possibleEnds_.empty()) {
            candidate = limits_.preferLongest ? longest(possibleEnds_, [](const CandidateSilence&) { return true; })
                                              : &possibleEnds_.back();
        }
        const std::int64_t cut = candidate ? candidate->start : cur;
        if (start_ < cut && cut - start_ >= limits_.minSpeech) regions_.push_back({start_, std::min(cut, total_)});
        const std::int64_t nextStart = candidate ? candidate->start + candidate->duration : cur;
        possibleEnds_.clear();
        tempEnd_.reset();
        minProb_.reset();
        // Speech heard since the candidate silence, or in this very chunk, goes on in a new
        // region from there.
        if (nextStart < cur || p >= limits_.threshold) {
            start_ = nextStart;
            continuesSplit_ = true;
            if (p < limits_.negativeThreshold) silence(p, cur);
            return;
        }
        triggered_ = false;
    }

    void silence(float p, std::int64_t cur) {
        if (!tempEnd_) tempEnd_ = cur;
        minProb_ = minProb_ ? std::min(p, *minProb_) : p;
        if (cur - *tempEnd_ < limits_.minSilence) return;
        if (start_ < *tempEnd_ && *tempEnd_ - start_ >= limits_.minSpeech) {
            regions_.push_back({start_, std::min(*tempEnd_, total_)});
        }
        triggered_ = false;
        tempEnd_.reset();
        minProb_.reset();
        possibleEnds_.clear();
    }

    const Limits& limits_;
    const std::int64_t total_;
    bool triggered_ = false;
    bool continuesSplit_ = false;
    std::int64_t start_ = 0;
    std::optional<std::int64_t> tempEnd_;
    std::optional<float> minProb_;
    std::vector<CandidateSilence> possibleEnds_;
    std::vector<SpeechSegmentation::SampleRange> regions_;
};

}  // namespace

std::vector<SpeechSegmentation::SampleRange> SpeechSegmentation::regions(std::span<const float> probabilities,
                                                                         std::int64_t totalSamples, float threshold,
                                                                         const VadSegmentationConfig& config) {
    if (probabilities.empty() || totalSamples < 1) return {};
    const Limits limits(threshold, config);
    Pass pass(limits, totalSamples);
    std::int64_t cur = 0;
    for (const float p : probabilities) {
        pass.step(p, cur);
        cur += chunkSize;
    }
    auto result = pass.finish();
    pad(result, limits.padding, totalSamples);
    return result;
}

void SpeechSegmentation::pad(std::vector<SampleRange>& regions, std::int64_t padding, std::int64_t totalSamples) {
    if (regions.empty()) return;
    using S = VadSampleCount;
    const auto before = [](std::int64_t position, std::int64_t by) { return std::max<std::int64_t>(0, S::subtract(position, by)); };
    const auto after = [&](std::int64_t position, std::int64_t by) { return std::min(S::add(position, by), totalSamples); };
    const std::int64_t twoPaddings = S::add(padding, padding);

    regions.front().start = before(regions.front().start, padding);
    for (std::size_t i = 0; i + 1 < regions.size(); ++i) {
        auto& current = regions[i];
        auto& next = regions[i + 1];
        const std::int64_t gap = S::subtract(next.start, current.end);
        // Closer than two paddings: the two meet in the middle of the gap.
        const std::int64_t by = gap < twoPaddings ? gap / 2 : padding;
        current.end = after(current.end, by);
        next.start = before(next.start, by);
    }
    regions.back().end = after(regions.back().end, padding);

    std::vector<SampleRange> kept;
    kept.reserve(regions.size());
    for (auto region : regions) {
        region.start = std::max<std::int64_t>(0, std::min(region.start, totalSamples));
        region.end = std::max(region.start, std::min(region.end, totalSamples));
        if (region.start != region.end) kept.push_back(region);
    }
    regions = std::move(kept);
}

}  // namespace rarivoredu
