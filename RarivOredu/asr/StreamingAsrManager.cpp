#include "RarivOredu/asr/StreamingAsrManager.h"

#include <algorithm>
#include <chrono>

#include "RarivOredu/shared/NumberFormat.h"
#include "RarivOredu/asr/StreamingAsrError.h"
#include "RarivOredu/asr/TranscriptAssembly.h"
#include "RarivOredu/shared/ASRConstants.h"
#include "RarivOredu/shared/SecondsSince.h"

namespace rarivoredu {
namespace {

constexpr std::int64_t kFrameSamples = ASRConstants::samplesPerEncoderFrame;
constexpr double kSampleRate = 16000.0;

const StreamingAsrConfig& validated(const StreamingAsrConfig& config) {
    config.validate();
    return config;
}

double seconds(std::int64_t samples) { return static_cast<double>(samples) / kSampleRate; }

// Characters (code points) of UTF-8 text.
std::size_t characterCount(const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace

StreamingAsrManager::StreamingAsrManager(StreamingAsrConfig config)
    : StreamingAsrManager(validated(config), InputStream::makeStream()) {}

StreamingAsrManager::StreamingAsrManager(const StreamingAsrConfig& config,
                                         std::pair<InputStream, InputStream::Continuation> input)
    : logger_("StreamingASR"),
      config_(config),
      chunkSamples_(config_.chunkFrames() * kFrameSamples),
      leftContextSamples_(config_.leftContextFrames() * kFrameSamples),
      rightContextSamples_(config_.rightContextFrames() * kFrameSamples),
      inputBuilder_(std::move(input.second)),
      inputSequence_(std::move(input.first)) {
    logger_.info("Initialized StreamingAsrManager with config: chunk=" + formatShortest(config_.chunkSeconds) +
                 "s left=" + formatShortest(config_.leftContextSeconds) +
                 "s right=" + formatShortest(config_.rightContextSeconds) + "s");
    const double left = seconds(leftContextSamples_);
    const double right = seconds(rightContextSamples_);
    if (left < config_.leftContextSeconds - seconds(kFrameSamples) ||
        right < config_.rightContextSeconds - seconds(kFrameSamples)) {
        logger_.notice("Window contexts shortened to fit the recogniser's 15 s: left=" + formatShortest(left) +
                       "s right=" + formatShortest(right) + "s");
    }
}

StreamingAsrManager::~StreamingAsrManager() {
    cancelled_ = true;
    inputBuilder_.finish();
    std::lock_guard join(joinMutex_);
    if (recognizer_.joinable()) recognizer_.join();
}

// ---------------------------------------------------------------------------------------------
// Start and input

void StreamingAsrManager::start(AudioSource source) {
    std::lock_guard startLock(startMutex_);
    if (started_) throw StreamingAsrError::streamAlreadyExists(audioSource());
    logger_.info(std::string("Starting streaming ASR engine for source: ") + name(source) + "...");
    const auto directory = AsrModels::download(std::nullopt, false, AsrModelVersion::v3);
    const auto models = AsrModels::load(directory, std::nullopt, AsrModelVersion::v3);
    startRecognizer(models, source);
}

void StreamingAsrManager::start(const AsrModels& models, AudioSource source) {
    std::lock_guard startLock(startMutex_);
    startRecognizer(models, source);
}

void StreamingAsrManager::startRecognizer(const AsrModels& models, AudioSource source) {
    if (started_) throw StreamingAsrError::streamAlreadyExists(audioSource());
    logger_.info(std::string("Starting streaming ASR engine with pre-loaded models for source: ") + name(source) +
                 "...");
    auto asr = std::make_shared<AsrManager>(ASRConfig::defaultConfig());
    {
        std::lock_guard lock(mutex_);
        audioSource_ = source;
        asrManager_ = asr;
    }
    asr->initialize(models);
    asr->resetDecoderState(source);
    {
        std::lock_guard lock(mutex_);
        lastProcessedFrame_.reset();
        resumeFrame_.reset();
        accumulatedTokens_.clear();
    }
    {
        std::lock_guard join(joinMutex_);
        recognizer_ = std::thread([this, input = std::move(*inputSequence_)]() mutable { runRecognizer(std::move(input)); });
    }
    inputSequence_.reset();
    started_ = true;
    logger_.info("Streaming ASR engine started successfully");
}

void StreamingAsrManager::streamAudio(platform::AVAudioPCMBufferPtr buffer) {
    if (buffer) inputBuilder_.yield(std::move(buffer));
}

StreamingAsrManager::UpdateStream StreamingAsrManager::transcriptionUpdates() {
    auto [stream, continuation] = UpdateStream::makeStream();
    std::lock_guard lock(mutex_);
    updateContinuation_ = std::move(continuation);
    return std::move(stream);
}

// ---------------------------------------------------------------------------------------------
// Recognizer thread

void StreamingAsrManager::runRecognizer(InputStream input) {
    try {
        logger_.info("Recognition task started, waiting for audio...");
        while (!cancelled_) {
            auto buffer = input.next();
            if (!buffer || cancelled_) break;
            const auto& pcm = **buffer;
            if (audioConverter_.matchesTargetFormat(pcm.format())) {
                // Already 16 kHz mono float: channel 0 as it is.
                const float* channel = pcm.floatChannelData() ? pcm.floatChannelData()[0] : nullptr;
                appendSamples(channel ? std::span<const float>(channel, pcm.frameLength()) : std::span<const float>());
                continue;
            }
            std::vector<float> converted;
            try {
                converted = audioConverter_.convertBuffer(pcm, audioConverter_.targetFormat());
            } catch (...) {
                const auto error = StreamingAsrError::audioBufferProcessingFailed(std::current_exception());
                logger_.error(std::string("Audio buffer processing error: ") + error.what());
                recover(std::make_exception_ptr(error));
                continue;
            }
            appendSamples(converted);
        }
        if (!cancelled_) processWindows();
        logger_.info("Recognition task completed");
    } catch (...) {
        std::lock_guard lock(mutex_);
        recognizerError_ = std::current_exception();
    }
}

void StreamingAsrManager::appendSamples(std::span<const float> samples) {
    std::unique_lock lock(mutex_);
    sampleBuffer_.insert(sampleBuffer_.end(), samples.begin(), samples.end());
    while (!cancelled_) {
        awaitResets(lock);
        const std::int64_t center = nextWindowCenterStart_;
        const std::int64_t end = center + chunkSamples_ + rightContextSamples_;
        if (receivedSamples() < end) return;
        auto window = cutWindow(std::max<std::int64_t>(0, center - leftContextSamples_), end, center + chunkSamples_,
                                false);
        if (!window) return;
        lock.unlock();
        processWindow(*window);
        lock.lock();
    }
}

void StreamingAsrManager::processWindows() {
    std::unique_lock lock(mutex_);
    while (!cancelled_) {
        awaitResets(lock);
        const std::int64_t center = nextWindowCenterStart_;
        const std::int64_t total = receivedSamples();
        if (center >= total) return;
        const std::int64_t end = center + std::min(total - center, chunkSamples_);
        auto window = cutWindow(std::max<std::int64_t>(0, center - leftContextSamples_), end, end, end >= total);
        if (!window) return;
        lock.unlock();
        processWindow(*window);
        lock.lock();
    }
}

std::optional<StreamingAsrManager::Window> StreamingAsrManager::cutWindow(std::int64_t start, std::int64_t end,
                                                                           std::int64_t chunkEnd,
                                                                           bool isLastChunk) const {
    const std::int64_t relativeStart = std::max<std::int64_t>(0, start - bufferStartIndex_);
    const std::int64_t relativeEnd = end - bufferStartIndex_;
    if (relativeStart >= relativeEnd || relativeEnd > static_cast<std::int64_t>(sampleBuffer_.size())) {
        return std::nullopt;
    }
    Window window;
    window.samples.assign(sampleBuffer_.begin() + relativeStart, sampleBuffer_.begin() + relativeEnd);
    window.start = bufferStartIndex_ + relativeStart;
    window.chunkEnd = chunkEnd;
    window.isLastChunk = isLastChunk;
    window.generation = generation_;
    return window;
}

void StreamingAsrManager::advance(std::int64_t chunkEnd) {
    nextWindowCenterStart_ = chunkEnd;
    const std::int64_t keepFrom = std::max<std::int64_t>(0, chunkEnd - leftContextSamples_);
    const std::int64_t drop = keepFrom - bufferStartIndex_;
    if (drop > 0 && drop <= static_cast<std::int64_t>(sampleBuffer_.size())) {
        sampleBuffer_.erase(sampleBuffer_.begin(), sampleBuffer_.begin() + drop);
        bufferStartIndex_ += drop;
    }
}

void StreamingAsrManager::awaitResets(std::unique_lock<std::mutex>& lock) {
    resetsDone_.wait(lock, [&] { return pendingResets_ == 0; });
}

void StreamingAsrManager::processWindow(const Window& window) {
    std::shared_ptr<AsrManager> asr;
    AudioSource source;
    AsrManager::StreamingWindow placement;
    {
        std::lock_guard lock(mutex_);
        if (generation_ != window.generation) return;
        asr = asrManager_;
        source = audioSource_;
        placement.frameOffset = static_cast<int>(window.start / kFrameSamples);
        placement.decodeFrames = static_cast<int>(ASRConstants::calculateEncoderFrames(window.chunkEnd - window.start));
        placement.resumeFrame = resumeFrame_;
        placement.lastProcessedFrame = lastProcessedFrame_;
        placement.isLastChunk = window.isLastChunk;
        if (!asr) {
            advance(window.chunkEnd);
            return;
        }
    }

    const auto began = std::chrono::steady_clock::now();
    AsrManager::StreamingChunkResult chunk;
    try {
        chunk = asr->transcribeStreamingWindow(window.samples, source, placement);
    } catch (...) {
        const auto error = StreamingAsrError::modelProcessingFailed(std::current_exception());
        logger_.error(std::string("Model processing error: ") + error.what());
        recover(std::make_exception_ptr(error));
        std::lock_guard lock(mutex_);
        if (generation_ == window.generation) {
            // That audio is not tried again: the next window resumes after it.
            resumeFrame_ = placement.frameOffset + placement.decodeFrames;
            advance(window.chunkEnd);
        }
        return;
    }
    const double processingTime = secondsSince(began);

    // The recogniser is never called with the state locked.
    auto timings = asr->createTokenTimings(chunk.tokens, chunk.timestamps, chunk.confidences, {});
    auto [text, kept] = asr->convertTokensToText(chunk.tokens, timings);
    const bool continuesWord = !kept.empty() && !kept.front().token.starts_with(' ');
    ASRResult result;
    result.text = std::move(text);
    result.confidence = transcriptConfidence(result.text, chunk.confidences, chunk.tokens.size(), asr->logger());
    result.duration = static_cast<double>(window.samples.size()) / static_cast<double>(asr->config().sampleRate);
    result.processingTime = processingTime;
    result.tokenTimings = std::move(timings);

    {
        std::lock_guard lock(mutex_);
        if (generation_ == window.generation) {
            apply(window, chunk, result, continuesWord);
            return;
        }
    }
    // Recognised across a reset: its tokens belong to the old transcript, and the decoder state
    // it left must not reach the new one.
    logger_.debug("Dropped a window recognised across a reset");
    try {
        asr->resetDecoderState(source);
    } catch (const std::exception& e) {
        logger_.error(std::string("Failed to reset decoder state after a reset: ") + e.what());
    }
}

void StreamingAsrManager::apply(const Window& window, const AsrManager::StreamingChunkResult& chunk,
                                const ASRResult& result, bool continuesWord) {
    const std::size_t firstToken = accumulatedTokens_.size();
    accumulatedTokens_.insert(accumulatedTokens_.end(), chunk.tokens.begin(), chunk.tokens.end());
    if (!chunk.timestamps.empty()) {
        const int largest = *std::max_element(chunk.timestamps.begin(), chunk.timestamps.end());
        lastProcessedFrame_ = std::max(lastProcessedFrame_.value_or(largest), largest);
    }
    resumeFrame_ = chunk.resumeFrame;
    ++processedChunks_;
    if (AppLogger::isEnabled(AppLogger::Level::debug)) {
        logger_.debug("Chunk " + std::to_string(processedChunks_) + ": '" + result.text +
                      "', time: " + formatFixed(result.processingTime, 3) + "s)");
    }
    updateTranscripts(result, firstToken, continuesWord);
    advance(window.chunkEnd);

    if (!updateContinuation_) return;
    StreamingTranscriptionUpdate update;
    update.text = result.text;
    update.isConfirmed = config_.confirmationThreshold <= static_cast<double>(result.confidence) &&
                         config_.minContextForConfirmation <= seconds(receivedSamples());
    update.confidence = result.confidence;
    update.timestamp = platform::Date::now();
    update.tokenIds.assign(chunk.tokens.begin(), chunk.tokens.end());
    update.tokenTimings = result.tokenTimings.value_or(std::vector<TokenTiming>{});
    if (!updateContinuation_->yield(std::move(update))) updateContinuation_.reset();
}

void StreamingAsrManager::updateTranscripts(const ASRResult& result, std::size_t firstToken, bool continuesWord) {
    const double received = seconds(receivedSamples());
    const double confidence = result.confidence;
    const bool logs = AppLogger::isEnabled(AppLogger::Level::debug);
    if (config_.confirmationThreshold <= confidence && config_.minContextForConfirmation <= received) {
        if (!volatileTranscript_.empty()) {
            // A window that begins inside the word the confirmed text ends with joins it.
            const bool joinsWord = volatileContinuesWord_ && volatileTokenBegin_ == confirmedTokenEnd_;
            if (!confirmedTranscript_.empty() && !joinsWord) confirmedTranscript_ += ' ';
            confirmedTranscript_ += volatileTranscript_;
            confirmedTokenEnd_ = volatileTokenEnd_;
        }
        volatileTranscript_ = result.text;
        if (logs) {
            logger_.debug("CONFIRMED (" + formatShortestFloat(result.confidence) + ", " + formatFixed(received, 1) +
                          "s context): promoted to confirmed; new volatile '" + result.text + "'");
        }
    } else {
        volatileTranscript_ = result.text;
        if (logs) {
            const std::string reason = config_.minContextForConfirmation > received
                                           ? "insufficient context (" + formatFixed(received, 1) + "s)"
                                           : "low confidence";
            logger_.debug("VOLATILE (" + formatShortestFloat(result.confidence) + "): " + reason +
                          " - updated volatile '" + result.text + "'");
        }
    }
    volatileTokenBegin_ = firstToken;
    volatileTokenEnd_ = accumulatedTokens_.size();
    volatileContinuesWord_ = continuesWord;
}

// ---------------------------------------------------------------------------------------------
// End, reset, cancel

std::string StreamingAsrManager::finish() {
    logger_.info("Finishing streaming ASR...");
    inputBuilder_.finish();
    {
        std::lock_guard join(joinMutex_);
        if (recognizer_.joinable()) recognizer_.join();
    }
    std::exception_ptr failure;
    std::shared_ptr<AsrManager> asr;
    std::vector<int> tokens;
    std::string text;
    {
        std::lock_guard lock(mutex_);
        failure = recognizerError_;
        asr = asrManager_;
        tokens = accumulatedTokens_;
        text = confirmedTranscript_ + volatileTranscript_;
    }
    if (failure) {
        logger_.error("Recognition task failed: " + StreamingAsrError::describe(failure));
        std::rethrow_exception(failure);
    }
    if (asr && !tokens.empty()) text = asr->convertTokensToText(tokens, {}).first;
    logger_.info("Final transcription: " + std::to_string(characterCount(text)) + " characters");
    return text;
}

void StreamingAsrManager::reset() {
    std::shared_ptr<AsrManager> asr;
    AudioSource source;
    {
        std::lock_guard lock(mutex_);
        volatileTranscript_.clear();
        confirmedTranscript_.clear();
        confirmedTokenEnd_ = volatileTokenBegin_ = volatileTokenEnd_ = 0;
        volatileContinuesWord_ = false;
        processedChunks_ = 0;
        sampleBuffer_.clear();
        bufferStartIndex_ = 0;
        nextWindowCenterStart_ = 0;
        lastProcessedFrame_.reset();
        resumeFrame_.reset();
        accumulatedTokens_.clear();
        ++generation_;
        ++pendingResets_;
        asr = asrManager_;
        source = audioSource_;
    }
    // No window is cut before the decoder state is primed for the new transcript.
    struct Done {
        StreamingAsrManager& manager;
        ~Done() {
            {
                std::lock_guard lock(manager.mutex_);
                --manager.pendingResets_;
            }
            manager.resetsDone_.notify_all();
        }
    } done{*this};
    if (asr) asr->resetDecoderState(source);
    logger_.info(std::string("StreamingAsrManager reset for source: ") + name(source));
}

void StreamingAsrManager::cancel() {
    cancelled_ = true;
    inputBuilder_.finish();
    {
        std::lock_guard lock(mutex_);
        if (updateContinuation_) updateContinuation_->finish();
    }
    logger_.info("StreamingAsrManager cancelled");
}

std::string StreamingAsrManager::volatileTranscript() const {
    std::lock_guard lock(mutex_);
    return volatileTranscript_;
}

std::string StreamingAsrManager::confirmedTranscript() const {
    std::lock_guard lock(mutex_);
    return confirmedTranscript_;
}

AudioSource StreamingAsrManager::audioSource() const {
    std::lock_guard lock(mutex_);
    return audioSource_;
}

}  // namespace rarivoredu
