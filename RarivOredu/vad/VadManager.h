#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "Platform/audio/AVAudioPCMBuffer.h"
#include "Platform/ml/MLModel.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/AudioConverter.h"
#include "RarivOredu/vad/VadConfig.h"
#include "RarivOredu/vad/VadModelRunner.h"
#include "RarivOredu/vad/VadResult.h"
#include "RarivOredu/vad/VadSegment.h"
#include "RarivOredu/vad/VadSegmentationConfig.h"
#include "RarivOredu/vad/VadState.h"
#include "RarivOredu/vad/VadStreamEvent.h"
#include "RarivOredu/vad/VadStreamResult.h"
#include "RarivOredu/vad/VadStreamState.h"

namespace rarivoredu {

// Voice activity detection: one speech probability per 4096-sample chunk (256 ms) of 16 kHz mono
// audio, from a recurrent model whose hidden state, cell state and last 64 samples are carried
// from chunk to chunk; speech regions of a whole recording; speech starts and ends in a stream.
//
// The model, "silero-vad-unified-256ms-v6.0.0.mlmodelc" of Repo::vad, is made on first use in
// <base>/Models from Silero's ONNX export of its network (SileroVadImport), or taken from a hub
// of our bundles when one is configured. Chunks run one at a time per manager (a mutex guards the model
// and the pooled input buffers); every function blocks.
//
// Errors: VadError (notInitialized without a model; modelProcessingFailed for a failed step;
// invalidConfiguration for a segmentation configuration outside its limits); the hub client's,
// the model loader's and the audio converter's errors pass through unchanged. A failed chunk
// leaves the manager usable.
class VadManager {
public:
    static constexpr std::int64_t chunkSize = VadModelRunner::chunkSize;
    static constexpr double sampleRate = 16000;
    static constexpr std::int64_t contextSize = VadState::contextSize;

    // Loads the model from the default folder, fetching it first when missing.
    explicit VadManager(VadConfig config = VadConfig::defaultConfig());
    // Uses a loaded model; ready at once.
    VadManager(VadConfig config, platform::MLModelPtr model);
    // Loads the model from <directory>/Models, fetching it first when missing.
    VadManager(VadConfig config, const std::filesystem::path& directory);
    VadManager(const VadManager&) = delete;
    VadManager& operator=(const VadManager&) = delete;

    bool isAvailable() const;
    const VadConfig& config() const noexcept { return config_; }

    // The Application Support folder's "RarivOredu".
    static std::filesystem::path defaultModelsDirectory();
    // Loads (or replaces) the model from <directory or the default>/Models.
    void loadModel(const std::optional<std::filesystem::path>& directory = std::nullopt);

    // Whole recordings: one result per chunk, the state carried from each to the next; the last
    // chunk holds the remainder. Empty audio gives no results (and needs no model).
    std::vector<VadResult> processFile(const std::filesystem::path& url);
    std::vector<VadResult> processBuffer(const platform::AVAudioPCMBuffer& buffer);
    std::vector<VadResult> processSamples(std::span<const float> samples);
    std::vector<VadResult> process(std::span<const float> samples);

    // One chunk with the given state (none: the initial one). The model takes the first 4096
    // samples; a shorter chunk is extended with copies of its last sample. The next context is
    // the last 64 samples the model took from the chunk itself: those of the chunk's audio, after
    // the end of the previous context when the chunk holds fewer than 64.
    VadResult processChunk(std::span<const float> chunk, const std::optional<VadState>& state = std::nullopt);

    // Speech regions of 16 kHz samples, or of results over `totalSamples` samples.
    std::vector<VadSegment> segmentSpeech(std::span<const float> samples,
                                          const VadSegmentationConfig& config = VadSegmentationConfig::defaultConfig());
    std::vector<VadSegment> segmentSpeech(std::span<const VadResult> results, std::int64_t totalSamples,
                                          const VadSegmentationConfig& config = VadSegmentationConfig::defaultConfig()) const;
    // The samples of each speech region, in order.
    std::vector<std::vector<float>> segmentSpeechAudio(
        std::span<const float> samples, const VadSegmentationConfig& config = VadSegmentationConfig::defaultConfig());

    // Streaming: start from makeStreamState, hand each chunk (at most 4096 samples) with the state
    // of the last result, and call finishStream when the stream ends. A failed chunk throws and
    // leaves the caller's state as it was.
    static VadStreamState makeStreamState() noexcept { return {}; }
    VadStreamResult processStreamingChunk(std::span<const float> chunk, const VadStreamState& state,
                                          const VadSegmentationConfig& config = VadSegmentationConfig::defaultConfig(),
                                          bool returnSeconds = false, int timeResolution = 1);
    // The end of speech when the stream ended inside it: at the stream's last sample.
    static std::optional<VadStreamEvent> finishStream(const VadStreamState& state, bool returnSeconds = false,
                                                      int timeResolution = 1);

private:
    // Loads the model and logs how long that took.
    void initialize(const std::optional<std::filesystem::path>& directory);
    std::vector<VadResult> processLocked(std::span<const float> samples);
    VadResult processChunkLocked(std::span<const float> chunk, const VadState& state);
    void validate(const VadSegmentationConfig& config) const;

    AppLogger logger_;
    const VadConfig config_;
    AudioConverter audioConverter_;
    mutable std::mutex mutex_;
    VadModelRunner modelRunner_;  // owns the pooled input buffers
    platform::MLModelPtr vadModel_;
};

}  // namespace rarivoredu
