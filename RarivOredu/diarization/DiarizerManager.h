#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "Platform/ml/MLModel.h"
#include "RarivOredu/diarization/AudioValidation.h"
#include "RarivOredu/diarization/DiarizationResult.h"
#include "RarivOredu/diarization/DiarizerConfig.h"
#include "RarivOredu/diarization/DiarizerModels.h"
#include "RarivOredu/diarization/EmbeddingExtractor.h"
#include "RarivOredu/diarization/SegmentationProcessor.h"
#include "RarivOredu/diarization/Speaker.h"
#include "RarivOredu/diarization/SpeakerActivity.h"
#include "RarivOredu/diarization/SpeakerManager.h"
#include "RarivOredu/shared/ANEMemoryOptimizer.h"
#include "RarivOredu/shared/AppLogger.h"

namespace rarivoredu {

// Who spoke when. The recording is cut into chunks of up to 10 s; in each, the segmentation
// model finds up to three local speakers frame by frame, the embedding model gives each a voice
// embedding, the speaker database maps it to a global speaker, and the frames become timed
// segments. The speaker database lives as long as the manager, across calls.
//
// One caller at a time: diarize, initialize and cleanup are not synchronised with each other.
// The speaker database guards itself and may be read from other threads meanwhile.
class DiarizerManager {
public:
    static constexpr std::int64_t modelSampleRate = 16000;
    static constexpr std::int64_t segmentationInputSamples = 160000;
    static constexpr double frameStepSeconds = 0.016875;
    // A frame whose activities add up to this or more is overlapped speech.
    static constexpr float overlapCutoff = 2.0f;
    // A speaker is active in a frame above this, or above activeBesideOtherThreshold while another
    // speaker is above this.
    static constexpr float activeThreshold = 0.3f;
    static constexpr float activeBesideOtherThreshold = 0.15f;

    explicit DiarizerManager(DiarizerConfig config = DiarizerConfig::defaultConfig());

    const DiarizerConfig& config() const noexcept { return config_; }
    SpeakerManager& speakerManager() noexcept { return speakerManager_; }

    bool isAvailable() const noexcept { return models_.has_value(); }
    // (download, compilation) seconds of the models; (0, 0) without models.
    std::pair<double, double> initializationTimings() const noexcept;
    void initialize(DiarizerModels models);
    // Drops the models; diarize needs initialize again. The speaker database stays.
    void cleanup();

    AudioValidationResult validateAudio(std::span<const float> samples) const;
    bool validateEmbedding(std::span<const float> embedding) const;
    void initializeKnownSpeakers(const std::vector<SpeakerPtr>& speakers);

    // Mono samples at `sampleRate` (the models take 16,000). Throws DiarizerError::notInitialized
    // without models, DiarizerError::invalidConfiguration for a sample rate or chunking the models
    // cannot take (before any work), and the errors of the segmentation and embedding steps. The
    // speakers created before a failure stay in the database.
    DiarizationResult diarize(std::span<const float> audio, std::int64_t sampleRate = modelSampleRate);

    // For each local speaker, its activity summed over all frames.
    static std::array<float, SpeakerActivity::speakers> calculateSpeakerActivities(const SpeakerActivity& activity);
    // min(L2 norm / 10, 1).
    static float calculateEmbeddingQuality(std::span<const float> embedding);

private:
    struct ChunkTimes {
        double segmentation = 0;
        double embedding = 0;
        double clustering = 0;
    };

    // The configuration's chunking at the sample rate; a rejection is logged, then thrown.
    DiarizerConfig::Chunking checkedChunking(std::int64_t sampleRate) const;
    // Appends the chunk's segments, sorted by start, to `segments`.
    ChunkTimes processChunk(std::span<const float> chunk, const platform::MLModel& segmentationModel,
                            double chunkOffsetSeconds, std::vector<TimedSpeakerSegment>& segments);
    void buildSegments(double chunkOffsetSeconds, std::vector<TimedSpeakerSegment>& segments) const;
    void emitSegment(int speaker, int startFrame, int endFrame, double chunkOffsetSeconds, bool reachesChunkEnd,
                     std::vector<TimedSpeakerSegment>& segments) const;

    AppLogger logger_{"Diarizer"};
    DiarizerConfig config_;
    std::optional<DiarizerModels> models_;
    SegmentationProcessor segmentationProcessor_;
    std::unique_ptr<EmbeddingExtractor> embeddingExtractor_;
    AudioValidation audioValidation_;
    SpeakerManager speakerManager_;

    // Work space of one chunk, reused from chunk to chunk.
    std::vector<float> paddedChunk_;
    SpeakerActivity activity_;
    std::vector<std::vector<float>> masks_;
    std::vector<std::vector<float>> embeddings_;
    std::array<float, SpeakerActivity::speakers> activities_{};
    std::array<std::string, SpeakerActivity::speakers> speakerIds_;
};

}  // namespace rarivoredu
