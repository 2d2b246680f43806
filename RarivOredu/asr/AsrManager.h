#pragma once

#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Platform/audio/AVAudioPCMBuffer.h"
#include "Platform/ml/MLModel.h"
#include "Platform/ml/MLPredictionOptions.h"
#include "RarivOredu/asr/ASRConfig.h"
#include "RarivOredu/asr/ASRPerformanceMetrics.h"
#include "RarivOredu/asr/ASRResult.h"
#include "RarivOredu/asr/AsrModels.h"
#include "RarivOredu/asr/AudioSource.h"
#include "RarivOredu/asr/TdtDecoderState.h"
#include "RarivOredu/asr/TdtModelShape.h"
#include "RarivOredu/asr/TdtHypothesis.h"
#include "RarivOredu/asr/TranscriptAssembly.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/AudioConverter.h"

namespace rarivoredu {

class PerformanceMonitor;

// The batch recogniser: 16 kHz mono samples through Preprocessor, Encoder and the greedy TDT
// decoder into text with token timings and a confidence. Up to 15 s are decoded in one window;
// longer audio goes through the ChunkProcessor. One decoder state per AudioSource; after every
// successful transcribe both are primed afresh, so no context reaches the next recording.
//
// Calls block the calling thread. They are serialised by a lock, so one manager recognises one
// recording at a time.
class AsrManager {
public:
    using Clock = std::chrono::steady_clock;

    // What one streaming window gives: token ids, their encoder frames counted from the window's
    // first sample (from the stream's first sample for a placed window), their confidences, and
    // the encoder's sequence length.
    struct StreamingChunkResult {
        std::vector<int> tokens;
        std::vector<int> timestamps;
        std::vector<float> confidences;
        int encoderSequenceLength = 0;
        // Placed windows: the stream frame where this window's decoding ended, from which the
        // next window resumes; the given one when the decoder had nothing to decode.
        std::optional<int> resumeFrame;
    };

    // Where a streaming window lies in its stream and which of its frames to decode.
    struct StreamingWindow {
        // The stream frame of the window's first sample; windows start on the frame grid.
        int frameOffset = 0;
        // The window's frames to decode, counted from its start.
        int decodeFrames = 0;
        // The stream frame where the previous window's decoding ended; none for a stream's first
        // window.
        std::optional<int> resumeFrame;
        // Tokens on this stream frame or before it were recognised already and are dropped.
        std::optional<int> lastProcessedFrame;
        bool isLastChunk = false;
    };

    // One window through all models.
    struct InferenceResult {
        TdtHypothesis hypothesis;
        int encoderLength = 0;
    };

    // Never fails for a valid configuration (std::invalid_argument otherwise). Starts pre-warming
    // the shared array cache in the background.
    explicit AsrManager(ASRConfig config = ASRConfig::defaultConfig());
    ~AsrManager();
    AsrManager(const AsrManager&) = delete;
    AsrManager& operator=(const AsrManager&) = delete;

    const ASRConfig& config() const noexcept { return config_; }
    const AppLogger& logger() const noexcept { return logger_; }

    // Installs the model set (again, replacing everything it set before) and takes its widths
    // and blank token from the bundles' descriptions (TdtModelShape). Leaves the decoder states as
    // they are unless the set's prediction network has other widths: then both start afresh.
    // Throws ASRError::processingFailed when the descriptions do not fit together.
    void initialize(const AsrModels& models);
    bool isAvailable() const;

    // Recognises the samples with the source's decoder state, then primes both states afresh.
    // A failure of that priming is logged and the result returned. Throws ASRError
    // (notInitialized, invalidAudioData below 16,000 samples, processingFailed) and model errors.
    ASRResult transcribe(std::span<const float> samples, AudioSource source = AudioSource::microphone);
    // The buffer, converted to 16 kHz mono first (its channels mixed) unless it is in that format.
    ASRResult transcribeBuffer(const platform::AVAudioPCMBuffer& buffer, AudioSource source = AudioSource::microphone);
    // The whole file, read and converted to 16 kHz mono.
    ASRResult transcribeAudioFile(const std::filesystem::path& url, AudioSource source = AudioSource::microphone);

    // Primes the microphone state, then the system state.
    void resetDecoderStates();
    // Primes the state of one source.
    void resetDecoderState(AudioSource source);
    // Replaces both states by fresh, unprimed ones (no model run).
    void resetState();
    // Drops the four models (the model set and the vocabulary stay) and the decoder states.
    void cleanup();

    // One streaming window on the source's state, which carries on to the next window. Tokens
    // that repeat the end of previousTokens are removed (with their timestamps and confidences).
    StreamingChunkResult transcribeStreamingChunk(std::span<const float> samples, AudioSource source,
                                                  const std::vector<int>& previousTokens);
    // One placed streaming window on the source's state: it decodes from the frame where the
    // previous window stopped (the state's overrun included) to its decodeFrames, so no frame is
    // decoded twice or skipped, and timestamps are stream frames. Tokens on frames already
    // processed are dropped; nothing else is, since no frame is decoded twice and a run of tokens
    // that repeats the previous ones was spoken twice.
    StreamingChunkResult transcribeStreamingWindow(std::span<const float> samples, AudioSource source,
                                                   const StreamingWindow& window);

    // Zeroes the state and runs the Decoder once on it (token 0). Throws notInitialized without a Decoder.
    void initializeDecoderState(TdtDecoderState& state);

    // Runs one model window. The frames to decode are audioFrameCount (default: the frames of the
    // unpadded samples); the state is updated in place.
    InferenceResult executeMLInference(std::span<const float> paddedSamples, std::optional<int> unpaddedLength,
                                       std::optional<int> audioFrameCount, TdtDecoderState& decoderState,
                                       int startFrameAdjustment, bool isLastChunk, int globalFrameOffset);

    std::pair<std::vector<int>, int> mergeTokenSequences(const std::vector<int>& previous,
                                                         const std::vector<int>& current, int maxOverlap) const;
    std::pair<std::string, std::vector<TokenTiming>> convertTokensToText(const std::vector<int>& tokenIds,
                                                                         const std::vector<TokenTiming>& timings) const;
    std::vector<TokenTiming> createTokenTimings(const std::vector<int>& tokenIds, const std::vector<int>& timestamps,
                                                const std::vector<float>& confidences,
                                                const std::vector<int>& durations) const;
    // The result of a recognition: text, timings, confidence, duration of `sampleCount` samples and
    // the time since `startTime`.
    ASRResult assembleResult(const std::vector<int>& tokenIds, const std::vector<int>& timestamps,
                             const std::vector<float>& confidences, const std::vector<int>& durations,
                             std::int64_t sampleCount, Clock::time_point startTime) const;

    // transcribe on the microphone state, measured by the monitor when one is given.
    std::pair<ASRResult, std::optional<ASRPerformanceMetrics>> measureTranscription(std::span<const float> samples,
                                                                                    PerformanceMonitor* monitor);

    // A copy of a source's state (its arrays are shared with the manager's).
    TdtDecoderState decoderState(AudioSource source) const;

private:
    TdtDecoderState& stateFor(AudioSource source) { return source == AudioSource::system ? systemState_ : microphoneState_; }
    ASRResult transcribeWithState(std::span<const float> samples, TdtDecoderState& state);
    void primeAfterTranscription();

    AppLogger logger_;
    const ASRConfig config_;
    AudioConverter audioConverter_;
    platform::MLModelPtr preprocessorModel_;
    platform::MLModelPtr encoderModel_;
    platform::MLModelPtr decoderModel_;
    platform::MLModelPtr jointModel_;
    std::optional<AsrModels> asrModels_;
    TdtModelShape shape_;
    Vocabulary vocabulary_;
    TdtDecoderState microphoneState_;
    TdtDecoderState systemState_;
    platform::MLPredictionOptions predictionOptions_;

    mutable std::recursive_mutex mutex_;
    std::jthread prewarm_;
};

}  // namespace rarivoredu
