#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Platform/audio/AVAudioPCMBuffer.h"
#include "RarivOredu/asr/ASRResult.h"
#include "RarivOredu/asr/AsrManager.h"
#include "RarivOredu/asr/AsrModels.h"
#include "RarivOredu/asr/AudioSource.h"
#include "RarivOredu/asr/StreamingAsrConfig.h"
#include "RarivOredu/asr/StreamingTranscriptionUpdate.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/AsyncStream.h"
#include "RarivOredu/shared/AudioConverter.h"

namespace rarivoredu {

// Live recognition of one audio source. Buffers of any format are queued by streamAudio (from
// any thread, an audio callback for example; it never blocks) and taken by the manager's own
// recognizer thread, which converts them to 16 kHz mono and cuts windows: a chunk of new audio
// with left and right context (see StreamingAsrConfig). Each window is recognised by the batch
// recogniser on the source's decoder state, which runs on from window to window; a window
// decodes the frames from where the previous one stopped to the end of its chunk, so every frame
// of the stream is decoded once. Each window publishes one StreamingTranscriptionUpdate.
//
// The text has two tiers: the latest window's text is volatile; when a later window is
// confident enough and enough audio has arrived, the volatile text is confirmed. The confirmed
// text only grows. finish() returns the whole token history detokenised at once.
//
// One manager serves one start and one stream of audio. Its public functions block; its state is
// guarded by a mutex. A failure while the stream runs is logged and handed to recover(); the
// stream goes on.
class StreamingAsrManager {
public:
    using UpdateStream = AsyncStream<StreamingTranscriptionUpdate>;

    // Throws StreamingAsrError::invalidConfiguration for an invalid configuration.
    explicit StreamingAsrManager(StreamingAsrConfig config);
    // Stops the recognizer thread (queued buffers are dropped) and waits for it.
    ~StreamingAsrManager();
    StreamingAsrManager(const StreamingAsrManager&) = delete;
    StreamingAsrManager& operator=(const StreamingAsrManager&) = delete;

    // Fetches and loads the models (version 3, default folder), then starts as below.
    void start(AudioSource source = AudioSource::microphone);
    // Builds a recogniser on the models, primes the source's decoder state and starts the
    // recognizer thread. Failures are thrown and nothing is started; such a start may be
    // repeated. A manager that was started refuses another start with
    // StreamingAsrError::streamAlreadyExists: its audio queue has one reader.
    void start(const AsrModels& models, AudioSource source = AudioSource::microphone);

    // Queues a buffer of any format; the manager keeps it until its recognizer thread has
    // converted it, so the caller must not write into it afterwards. Dropped once the input
    // has ended (finish, cancel); a null buffer is ignored.
    void streamAudio(platform::AVAudioPCMBufferPtr buffer);

    // A new update stream. Only the stream read last receives updates; reading again ends the
    // previous one. Updates go nowhere while no stream is read or after its reader dropped it.
    UpdateStream transcriptionUpdates();

    // Ends the input, waits until every queued buffer and the final windows are recognised and
    // returns the final text: the token history detokenised at once, or, without one, the
    // confirmed text followed by the volatile text. Rethrows a failure of the recognizer thread.
    // The update stream stays open.
    std::string finish();

    // Begins a new transcript on the same input: audio, texts and token history are cleared and
    // the decoder state is primed afresh. A window still being recognised is dropped; buffers
    // still queued belong to the new transcript. Throws a failure of the priming after clearing.
    void reset();

    // Ends the input and the update stream; the recognizer thread drops what is still queued and
    // stops after the window it is recognising.
    void cancel();

    std::string volatileTranscript() const;
    std::string confirmedTranscript() const;
    AudioSource audioSource() const;
    const StreamingAsrConfig& config() const noexcept { return config_; }

    // Reacts to a failure while the stream runs, by the kind of error: re-primes the decoder
    // state after a recognition failure or an unknown error (building a new recogniser from
    // freshly loaded models when that fails); logs and leaves everything else. Never throws.
    void recover(const std::exception_ptr& error);

private:
    using InputStream = AsyncStream<platform::AVAudioPCMBufferPtr>;

    StreamingAsrManager(const StreamingAsrConfig& config, std::pair<InputStream, InputStream::Continuation> input);

    // A window cut out of the sample buffer.
    struct Window {
        std::vector<float> samples;
        std::int64_t start = 0;     // absolute sample of the first one, on the frame grid
        std::int64_t chunkEnd = 0;  // where the window's new audio ends: the next chunk begins there
        bool isLastChunk = false;
        std::uint64_t generation = 0;
    };

    // With startMutex_ held.
    void startRecognizer(const AsrModels& models, AudioSource source);
    void runRecognizer(InputStream input);
    void appendSamples(std::span<const float> samples);
    void processWindows();
    void processWindow(const Window& window);
    // Under the state lock: takes a window's result into the history and the transcripts and
    // publishes its update.
    void apply(const Window& window, const AsrManager::StreamingChunkResult& chunk, const ASRResult& result,
               bool continuesWord);
    // The transcripts after a window result; under the state lock.
    void updateTranscripts(const ASRResult& result, std::size_t firstToken, bool continuesWord);
    void reinitialize();

    // Under the state lock: the window [start, end) whose new audio ends at chunkEnd, or nothing
    // when the buffer does not hold it.
    std::optional<Window> cutWindow(std::int64_t start, std::int64_t end, std::int64_t chunkEnd,
                                    bool isLastChunk) const;
    // Under the state lock: the next chunk begins at chunkEnd; samples no window needs any more go.
    void advance(std::int64_t chunkEnd);
    std::int64_t receivedSamples() const { return bufferStartIndex_ + static_cast<std::int64_t>(sampleBuffer_.size()); }
    // Waits until no reset is priming the decoder state.
    void awaitResets(std::unique_lock<std::mutex>& lock);

    const AppLogger logger_;
    const AudioConverter audioConverter_;
    const StreamingAsrConfig config_;
    const std::int64_t chunkSamples_;
    const std::int64_t leftContextSamples_;
    const std::int64_t rightContextSamples_;

    // The audio queue: written by streamAudio, read by the recognizer thread.
    InputStream::Continuation inputBuilder_;
    std::optional<InputStream> inputSequence_;

    std::mutex startMutex_;  // serialises start
    bool started_ = false;
    std::mutex joinMutex_;   // serialises waiting for the recognizer thread
    std::thread recognizer_;
    std::atomic<bool> cancelled_{false};

    // Guards everything below. The recogniser is never called with it held.
    mutable std::mutex mutex_;
    std::condition_variable resetsDone_;
    std::optional<UpdateStream::Continuation> updateContinuation_;
    std::shared_ptr<AsrManager> asrManager_;
    std::exception_ptr recognizerError_;
    AudioSource audioSource_ = AudioSource::microphone;
    std::uint64_t generation_ = 0;  // counts resets; a window of an older generation is stale
    int pendingResets_ = 0;
    std::optional<int> lastProcessedFrame_;
    std::optional<int> resumeFrame_;
    std::vector<int> accumulatedTokens_;
    std::vector<float> sampleBuffer_;
    std::int64_t bufferStartIndex_ = 0;
    std::int64_t nextWindowCenterStart_ = 0;
    std::string volatileTranscript_;
    std::string confirmedTranscript_;
    // Where the texts lie in the token history: the confirmed text ends before confirmedTokenEnd_;
    // the volatile text begins at volatileTokenBegin_, with a token that continues the word
    // before it when volatileContinuesWord_.
    std::size_t confirmedTokenEnd_ = 0;
    std::size_t volatileTokenBegin_ = 0;
    std::size_t volatileTokenEnd_ = 0;
    bool volatileContinuesWord_ = false;
    std::int64_t processedChunks_ = 0;
};

}  // namespace rarivoredu
