#include "RarivOredu/diarization/DiarizerManager.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "RarivOredu/diarization/VectorMath.h"
#include "RarivOredu/shared/DiarizerError.h"
#include "RarivOredu/shared/SecondsSince.h"

namespace rarivoredu {

using Clock = std::chrono::steady_clock;

namespace {

// Speech time handed to the speaker database per active frame.
constexpr float activityToSeconds = 0.016875f;

}  // namespace

DiarizerManager::DiarizerManager(DiarizerConfig config)
    : config_(config),
      speakerManager_(config.clusteringThreshold * 1.2f, config.clusteringThreshold * 0.8f, config.minSpeechDuration,
                      config.minEmbeddingUpdateDuration) {}

std::pair<double, double> DiarizerManager::initializationTimings() const noexcept {
    if (!models_) return {0, 0};
    return {models_->downloadDuration, models_->compilationDuration};
}

void DiarizerManager::initialize(DiarizerModels models) {
    logger_.info("Initializing diarization system");
    embeddingExtractor_ = std::make_unique<EmbeddingExtractor>(models.embeddingModel);
    logger_.info("EmbeddingExtractor initialized with embedding model");
    models_ = std::move(models);
}

void DiarizerManager::cleanup() {
    models_.reset();
    logger_.info("Diarization resources cleaned up");
}

AudioValidationResult DiarizerManager::validateAudio(std::span<const float> samples) const {
    return audioValidation_.validateAudio(samples);
}

bool DiarizerManager::validateEmbedding(std::span<const float> embedding) const {
    return audioValidation_.validateEmbedding(embedding);
}

void DiarizerManager::initializeKnownSpeakers(const std::vector<SpeakerPtr>& speakers) {
    speakerManager_.initializeKnownSpeakers(speakers);
}

DiarizationResult DiarizerManager::diarize(std::span<const float> audio, std::int64_t sampleRate) {
    if (!models_) throw DiarizerError::notInitialized();
    const auto chunking = checkedChunking(sampleRate);
    const auto audioCount = static_cast<std::int64_t>(audio.size());

    std::vector<TimedSpeakerSegment> collected;
    ChunkTimes sums;
    for (std::int64_t chunkStart = 0; chunkStart < audioCount; chunkStart += chunking.stepSamples) {
        const std::int64_t chunkEnd = std::min(chunkStart + chunking.chunkSamples, audioCount);
        const auto chunk = audio.subspan(static_cast<std::size_t>(chunkStart), static_cast<std::size_t>(chunkEnd - chunkStart));
        const auto times = processChunk(chunk, *models_->segmentationModel,
                                        static_cast<double>(chunkStart) / static_cast<double>(sampleRate), collected);
        sums.segmentation += times.segmentation;
        sums.embedding += times.embedding;
        sums.clustering += times.clustering;
    }

    const auto postProcessingStart = Clock::now();
    DiarizationResult result;
    result.segments = std::move(collected);
    const double postProcessing = secondsSince(postProcessingStart);
    if (!config_.debugMode) return result;

    result.speakerDatabase = speakerManager_.currentEmbeddings();
    result.timings = PipelineTimings(models_->downloadDuration, models_->compilationDuration, 0, sums.segmentation,
                                     sums.embedding, sums.clustering, postProcessing);
    return result;
}

DiarizerConfig::Chunking DiarizerManager::checkedChunking(std::int64_t sampleRate) const {
    try {
        return config_.chunking(sampleRate);
    } catch (const DiarizerError& error) {
        logger_.error(error.what());
        throw;
    }
}

DiarizerManager::ChunkTimes DiarizerManager::processChunk(std::span<const float> chunk,
                                                          const platform::MLModel& segmentationModel,
                                                          double chunkOffsetSeconds,
                                                          std::vector<TimedSpeakerSegment>& segments) {
    ChunkTimes times;
    const auto chunkStart = Clock::now();

    // Chunks shorter than the model's window are padded with silence.
    std::span<const float> input = chunk;
    if (static_cast<std::int64_t>(chunk.size()) < segmentationInputSamples) {
        paddedChunk_.resize(static_cast<std::size_t>(segmentationInputSamples));
        std::memcpy(paddedChunk_.data(), chunk.data(), chunk.size() * sizeof(float));
        std::fill(paddedChunk_.begin() + static_cast<std::ptrdiff_t>(chunk.size()), paddedChunk_.end(), 0.0f);
        input = paddedChunk_;
    }

    segmentationProcessor_.process(input, segmentationModel, segmentationInputSamples, activity_);
    times.segmentation = secondsSince(chunkStart);

    const auto embeddingStart = Clock::now();
    if (!embeddingExtractor_) throw DiarizerError::notInitialized();
    // Each speaker's mask without the overlapped frames.
    const int frames = activity_.frames;
    masks_.resize(SpeakerActivity::speakers);
    for (int k = 0; k < SpeakerActivity::speakers; ++k) masks_[static_cast<std::size_t>(k)].resize(static_cast<std::size_t>(frames));
    for (int f = 0; f < frames; ++f) {
        float frameSum = 0;
        for (int k = 0; k < SpeakerActivity::speakers; ++k) frameSum += activity_.at(f, k);
        const float keep = frameSum < overlapCutoff ? 1.0f : 0.0f;
        for (int k = 0; k < SpeakerActivity::speakers; ++k) {
            masks_[static_cast<std::size_t>(k)][static_cast<std::size_t>(f)] = activity_.at(f, k) * keep;
        }
    }
    embeddingExtractor_->extractEmbeddings(input, masks_, config_.minActiveFramesCount, embeddings_);
    times.embedding = secondsSince(embeddingStart);

    const auto clusteringStart = Clock::now();
    activities_ = calculateSpeakerActivities(activity_);
    for (std::size_t k = 0; k < speakerIds_.size(); ++k) {
        speakerIds_[k].clear();
        const auto& embedding = embeddings_[k];
        if (!(config_.minActiveFramesCount < activities_[k]) || !audioValidation_.validateEmbedding(embedding)) continue;
        if (const auto speaker = speakerManager_.assignSpeaker(embedding, activities_[k] * activityToSeconds)) {
            speakerIds_[k] = speaker->id;
        }
    }
    times.clustering = secondsSince(clusteringStart);

    buildSegments(chunkOffsetSeconds, segments);
    return times;
}

void DiarizerManager::buildSegments(double chunkOffsetSeconds, std::vector<TimedSpeakerSegment>& segments) const {
    const std::size_t firstOfChunk = segments.size();
    const int frames = activity_.frames;
    for (int k = 0; k < SpeakerActivity::speakers; ++k) {
        if (activities_[static_cast<std::size_t>(k)] < config_.minActiveFramesCount) continue;
        bool inSegment = false;
        int startFrame = 0;
        for (int f = 0; f < frames; ++f) {
            bool otherActive = false;
            for (int j = 0; j < SpeakerActivity::speakers; ++j) {
                if (j != k && activity_.at(f, j) > activeThreshold) otherActive = true;
            }
            const float threshold = otherActive ? activeBesideOtherThreshold : activeThreshold;
            const bool active = activity_.at(f, k) > threshold;
            if (active && !inSegment) {
                startFrame = f;
                inSegment = true;
            } else if (!active && inSegment) {
                emitSegment(k, startFrame, f, chunkOffsetSeconds, false, segments);
                inSegment = false;
            }
        }
        if (inSegment) emitSegment(k, startFrame, frames, chunkOffsetSeconds, true, segments);
    }
    // By start within the chunk, equal starts in emission order: an insertion sort of a handful.
    for (std::size_t i = firstOfChunk + 1; i < segments.size(); ++i) {
        for (std::size_t j = i; j > firstOfChunk && segments[j].startTimeSeconds < segments[j - 1].startTimeSeconds; --j) {
            std::swap(segments[j], segments[j - 1]);
        }
    }
}

void DiarizerManager::emitSegment(int speaker, int startFrame, int endFrame, double chunkOffsetSeconds,
                                  bool reachesChunkEnd, std::vector<TimedSpeakerSegment>& segments) const {
    const auto k = static_cast<std::size_t>(speaker);
    if (speakerIds_[k].empty() || k >= embeddings_.size()) return;
    const double chunkEnd = chunkOffsetSeconds + frameStepSeconds * activity_.frames;
    const double start = chunkOffsetSeconds + frameStepSeconds * startFrame;
    const double end = reachesChunkEnd ? chunkEnd : chunkOffsetSeconds + frameStepSeconds * endFrame;
    if (end - start < config_.minSpeechDuration) return;
    const float quality = activities_[k] / static_cast<float>(endFrame - startFrame) *
                          calculateEmbeddingQuality(embeddings_[k]);
    segments.emplace_back(speakerIds_[k], embeddings_[k], static_cast<float>(start), static_cast<float>(end), quality);
}

std::array<float, SpeakerActivity::speakers> DiarizerManager::calculateSpeakerActivities(const SpeakerActivity& activity) {
    std::array<float, SpeakerActivity::speakers> sums{};
    for (int f = 0; f < activity.frames; ++f) {
        for (int k = 0; k < SpeakerActivity::speakers; ++k) sums[static_cast<std::size_t>(k)] += activity.at(f, k);
    }
    return sums;
}

float DiarizerManager::calculateEmbeddingQuality(std::span<const float> embedding) {
    return std::min(VectorMath::l2Norm(embedding) / 10.0f, 1.0f);
}

}  // namespace rarivoredu
