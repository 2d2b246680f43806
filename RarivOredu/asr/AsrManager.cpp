#include "RarivOredu/asr/AsrManager.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "RarivOredu/asr/ASRError.h"
#include "RarivOredu/asr/ChunkProcessor.h"
#include "RarivOredu/asr/PerformanceMonitor.h"
#include "RarivOredu/asr/TdtDecoderV3.h"
#include "RarivOredu/asr/TokenSequenceMerge.h"
#include "RarivOredu/shared/ASRConstants.h"
#include "RarivOredu/shared/MLArrayCache.h"
#include "RarivOredu/shared/ModelPrediction.h"
#include "RarivOredu/shared/SecondsSince.h"

namespace rarivoredu {

using platform::MLDictionaryFeatureProvider;
using platform::MLFeatureValue;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;

namespace {

constexpr std::int64_t kWindowSamples = 240000;
constexpr std::size_t kMinimumSamples = 16000;

const ASRConfig& validated(const ASRConfig& config) {
    config.validate();
    return config;
}

std::string sortedNames(const platform::MLFeatureProvider& provider) {
    std::string text;
    for (const auto& name : provider.featureNames()) {  // a std::set: already sorted
        if (!text.empty()) text += ", ";
        text += name;
    }
    return text;
}

int clampedInt(double value) {
    if (!(value > std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    if (!(value < std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

// A state whose carried values are cleared, so that its next decoding primes it afresh.
void forgetCarriedValues(TdtDecoderState& state) {
    state.lastToken.reset();
    state.predictorOutput.reset();
    state.timeJump.reset();
}

}  // namespace

AsrManager::AsrManager(ASRConfig config) : logger_("ASR"), config_(validated(config)) {
    prewarm_ = std::jthread([] {
        MLArrayCache::shared().prewarm({{{1, kWindowSamples}, MLMultiArrayDataType::float32},
                                        {{1}, MLMultiArrayDataType::int32},
                                        {{2, 1, ASRConstants::decoderHiddenSize}, MLMultiArrayDataType::float32}});
    });
}

AsrManager::~AsrManager() = default;

void AsrManager::initialize(const AsrModels& models) {
    std::lock_guard lock(mutex_);
    logger_.info("Initializing AsrManager with provided models");
    TdtModelShape shape = TdtModelShape::family(models.version);
    if (models.decoder && models.joint) shape = TdtModelShape::of(*models.decoder, *models.joint, models.version);
    if (shape != TdtModelShape::family(models.version)) logger_.info("Model widths: " + shape.description());
    const MLMultiArray::Shape stateShape{shape.decoderLayers, 1, shape.decoderHiddenSize};
    for (TdtDecoderState* state : {&microphoneState_, &systemState_}) {
        if (!state->hiddenState || state->hiddenState->shape() != stateShape) {
            *state = TdtDecoderState::make(shape.decoderLayers, shape.decoderHiddenSize);
        }
    }
    shape_ = shape;
    asrModels_ = models;
    preprocessorModel_ = models.preprocessor;
    encoderModel_ = models.encoder;
    decoderModel_ = models.decoder;
    jointModel_ = models.joint;
    vocabulary_ = models.vocabulary;
    logger_.info("AsrManager initialized successfully with provided models");
}

bool AsrManager::isAvailable() const {
    std::lock_guard lock(mutex_);
    if (!encoderModel_ || !decoderModel_ || !jointModel_) return false;
    return !asrModels_ || preprocessorModel_ != nullptr;
}

ASRResult AsrManager::transcribe(std::span<const float> samples, AudioSource source) {
    std::lock_guard lock(mutex_);
    auto& state = stateFor(source);
    ASRResult result;
    try {
        result = transcribeWithState(samples, state);
    } catch (...) {
        // What the failed pass left in the state must not reach the next recording.
        forgetCarriedValues(state);
        throw;
    }
    primeAfterTranscription();
    return result;
}

void AsrManager::primeAfterTranscription() {
    for (const auto source : {AudioSource::microphone, AudioSource::system}) {
        auto& state = stateFor(source);
        try {
            initializeDecoderState(state);
        } catch (const std::exception& e) {
            // The transcription stands; the state stays zeroed and primes itself when next used.
            forgetCarriedValues(state);
            logger_.error(std::string("Failed to prime the ") + name(source) +
                          " decoder state after a transcription: " + e.what());
        }
    }
}

ASRResult AsrManager::transcribeBuffer(const platform::AVAudioPCMBuffer& buffer, AudioSource source) {
    const auto samples = audioConverter_.resampleBuffer(buffer);
    return transcribe(samples, source);
}

ASRResult AsrManager::transcribeAudioFile(const std::filesystem::path& url, AudioSource source) {
    const auto samples = audioConverter_.resampleAudioFile(url);
    return transcribe(samples, source);
}

void AsrManager::resetDecoderStates() {
    std::lock_guard lock(mutex_);
    initializeDecoderState(microphoneState_);
    initializeDecoderState(systemState_);
}

void AsrManager::resetDecoderState(AudioSource source) {
    std::lock_guard lock(mutex_);
    initializeDecoderState(stateFor(source));
}

void AsrManager::resetState() {
    std::lock_guard lock(mutex_);
    microphoneState_ = TdtDecoderState::make(shape_.decoderLayers, shape_.decoderHiddenSize);
    systemState_ = TdtDecoderState::make(shape_.decoderLayers, shape_.decoderHiddenSize);
}

void AsrManager::cleanup() {
    std::lock_guard lock(mutex_);
    preprocessorModel_.reset();
    encoderModel_.reset();
    decoderModel_.reset();
    jointModel_.reset();
    microphoneState_ = TdtDecoderState::make(shape_.decoderLayers, shape_.decoderHiddenSize);
    systemState_ = TdtDecoderState::make(shape_.decoderLayers, shape_.decoderHiddenSize);
    logger_.info("AsrManager resources cleaned up");
}

TdtDecoderState AsrManager::decoderState(AudioSource source) const {
    std::lock_guard lock(mutex_);
    return source == AudioSource::system ? systemState_ : microphoneState_;
}

void AsrManager::initializeDecoderState(TdtDecoderState& state) {
    std::lock_guard lock(mutex_);
    if (!decoderModel_) throw ASRError::notInitialized();
    TdtDecoderState::fill(*state.hiddenState, 0.0);
    TdtDecoderState::fill(*state.cellState, 0.0);
    forgetCarriedValues(state);

    auto targets = MLMultiArray::create({1, 1}, MLMultiArrayDataType::int32);
    auto targetLength = MLMultiArray::create({1}, MLMultiArrayDataType::int32);
    targetLength->setValue(0, 1);
    MLDictionaryFeatureProvider input({{"targets", MLFeatureValue::featureValueWithMultiArray(targets)},
                                       {"target_length", MLFeatureValue::featureValueWithMultiArray(targetLength)},
                                       {"h_in", MLFeatureValue::featureValueWithMultiArray(state.hiddenState)},
                                       {"c_in", MLFeatureValue::featureValueWithMultiArray(state.cellState)}});
    const auto output = compatPrediction(*decoderModel_, input, predictionOptions_);
    if (auto h = output->featureValueForName("h_out"); h && h->multiArrayValue()) {
        TdtDecoderState::copyArray(*h->multiArrayValue(), *state.hiddenState);
    }
    if (auto c = output->featureValueForName("c_out"); c && c->multiArrayValue()) {
        TdtDecoderState::copyArray(*c->multiArrayValue(), *state.cellState);
    }
}

ASRResult AsrManager::transcribeWithState(std::span<const float> samples, TdtDecoderState& state) {
    if (!isAvailable()) throw ASRError::notInitialized();
    if (samples.size() < kMinimumSamples) throw ASRError::invalidAudioData();
    const auto start = Clock::now();
    // A recording starts at its first frame, whatever an earlier stream left as overrun.
    state.timeJump.reset();

    if (static_cast<std::int64_t>(samples.size()) > kWindowSamples) {
        ChunkProcessor processor{samples, AppLogger("ChunkProcessor"), 16000, 11.2, 1.6, 1.6};
        return processor.process(*this, state, start);
    }
    std::vector<float> padded(samples.begin(), samples.end());
    padded.resize(static_cast<std::size_t>(kWindowSamples), 0.0f);
    auto inference = executeMLInference(padded, static_cast<int>(samples.size()), std::nullopt, state, 0, false, 0);
    const auto& h = inference.hypothesis;
    return assembleResult(h.ySequence, h.timestamps, h.tokenConfidences, h.tokenDurations,
                          static_cast<std::int64_t>(samples.size()), start);
}

AsrManager::InferenceResult AsrManager::executeMLInference(std::span<const float> paddedSamples,
                                                           std::optional<int> unpaddedLength,
                                                           std::optional<int> audioFrameCount,
                                                           TdtDecoderState& decoderState, int startFrameAdjustment,
                                                           bool isLastChunk, int globalFrameOffset) {
    std::lock_guard lock(mutex_);
    const auto length = static_cast<std::int64_t>(paddedSamples.size());
    auto audio = MLArrayCache::shared().getArray({1, length}, MLMultiArrayDataType::float32);
    if (length > 0) std::memcpy(audio->dataPointer(), paddedSamples.data(), paddedSamples.size() * sizeof(float));
    auto audioLength = MLMultiArray::create({1}, MLMultiArrayDataType::int32);
    audioLength->setValue(0, static_cast<double>(unpaddedLength.value_or(static_cast<int>(length))));

    if (!preprocessorModel_ || !encoderModel_) throw ASRError::notInitialized();
    MLDictionaryFeatureProvider preprocessorInput(
        {{"audio_signal", MLFeatureValue::featureValueWithMultiArray(audio)},
         {"audio_length", MLFeatureValue::featureValueWithMultiArray(audioLength)}});
    const auto preprocessorOutput = compatPrediction(*preprocessorModel_, preprocessorInput, predictionOptions_);

    // The Encoder takes the Preprocessor's outputs; a name they lack comes from its inputs.
    const auto& encoderInputs = encoderModel_->modelDescription().inputs;
    const bool complete = std::all_of(encoderInputs.begin(), encoderInputs.end(), [&](const auto& feature) {
        return preprocessorOutput->featureValueForName(feature.name).has_value();
    });
    std::shared_ptr<platform::MLFeatureProvider> encoderInput = preprocessorOutput;
    if (!complete) {
        MLDictionaryFeatureProvider::Dictionary values;
        for (const auto& feature : encoderInputs) {
            auto value = preprocessorOutput->featureValueForName(feature.name);
            if (!value) value = preprocessorInput.featureValueForName(feature.name);
            if (!value) {
                throw ASRError::processingFailed("Missing required encoder input: " + feature.name +
                                                 ". Available inputs: " + sortedNames(*preprocessorOutput) + ", " +
                                                 "fallback inputs: " + sortedNames(preprocessorInput));
            }
            values.emplace(feature.name, *value);
        }
        encoderInput = std::make_shared<MLDictionaryFeatureProvider>(std::move(values));
    }
    const auto encoderOutput = compatPrediction(*encoderModel_, *encoderInput, predictionOptions_);
    const auto encoded = encoderOutput->featureValueForName("encoder");
    if (!encoded || !encoded->multiArrayValue()) throw ASRError::processingFailed("Invalid encoder output");
    const auto encodedLength = encoderOutput->featureValueForName("encoder_length");
    if (!encodedLength || !encodedLength->multiArrayValue() || encodedLength->multiArrayValue()->count() < 1) {
        throw ASRError::processingFailed("Invalid encoder output length");
    }
    const int encoderLength = clampedInt((*encodedLength->multiArrayValue())[0]);
    const int frames = audioFrameCount.value_or(
        static_cast<int>(ASRConstants::calculateEncoderFrames(unpaddedLength.value_or(static_cast<int>(length)))));

    if (!asrModels_ || !decoderModel_ || !jointModel_) throw ASRError::notInitialized();
    TdtConfig tdtConfig = config_.tdtConfig;
    // The configured blank is the 0.6B v3 model's; a set of other pieces says its own.
    if (tdtConfig.blankId == TdtConfig::defaultConfig().blankId) tdtConfig.blankId = shape_.blankId;
    const TdtDecoderV3 decoder(AppLogger("TDT"), tdtConfig, platform::MLPredictionOptions{}, shape_);
    InferenceResult result;
    result.hypothesis = decoder.decode(encoded->multiArrayValue(), encoderLength, frames, *decoderModel_, *jointModel_,
                                       decoderState, startFrameAdjustment, isLastChunk, globalFrameOffset);
    result.encoderLength = encoderLength;
    return result;
}

AsrManager::StreamingChunkResult AsrManager::transcribeStreamingChunk(std::span<const float> samples,
                                                                      AudioSource source,
                                                                      const std::vector<int>& previousTokens) {
    std::lock_guard lock(mutex_);
    TdtDecoderState state = stateFor(source);
    std::vector<float> padded(samples.begin(), samples.end());
    if (padded.size() < static_cast<std::size_t>(kWindowSamples)) padded.resize(kWindowSamples, 0.0f);
    auto inference = executeMLInference(padded, static_cast<int>(samples.size()), std::nullopt, state, 0, false, 0);
    stateFor(source) = state;

    auto& h = inference.hypothesis;
    StreamingChunkResult result;
    result.encoderSequenceLength = inference.encoderLength;
    if (!h.ySequence.empty() && !previousTokens.empty()) {
        auto [kept, skipped] = mergeTokenSequences(previousTokens, h.ySequence, 12);
        const auto drop = static_cast<std::ptrdiff_t>(std::clamp<std::size_t>(
            skipped < 1 ? 0 : static_cast<std::size_t>(skipped), 0, h.timestamps.size()));
        result.tokens = std::move(kept);
        result.timestamps.assign(h.timestamps.begin() + drop, h.timestamps.end());
        result.confidences.assign(h.tokenConfidences.begin() + drop, h.tokenConfidences.end());
        return result;
    }
    result.tokens = std::move(h.ySequence);
    result.timestamps = std::move(h.timestamps);
    result.confidences = std::move(h.tokenConfidences);
    return result;
}

AsrManager::StreamingChunkResult AsrManager::transcribeStreamingWindow(std::span<const float> samples,
                                                                       AudioSource source,
                                                                       const StreamingWindow& window) {
    std::lock_guard lock(mutex_);
    TdtDecoderState state = stateFor(source);
    const int adjustment = window.resumeFrame ? *window.resumeFrame - window.frameOffset : 0;
    // A window that begins where the previous one stopped decodes from its first frame.
    if (state.timeJump == 0 && adjustment == 0) state.timeJump.reset();
    // A previous window cut short by the token limit left tokens on the frame it resumes at.
    const bool resumesInsideAFrame = state.timeJump && *state.timeJump < 0;
    const int startFrame = TdtDecoderV3::startFrame(state.timeJump, adjustment);

    std::vector<float> padded(samples.begin(), samples.end());
    if (padded.size() < static_cast<std::size_t>(kWindowSamples)) padded.resize(kWindowSamples, 0.0f);
    auto inference = executeMLInference(padded, static_cast<int>(samples.size()), window.decodeFrames, state,
                                        adjustment, window.isLastChunk, window.frameOffset);
    stateFor(source) = state;

    StreamingChunkResult result;
    result.encoderSequenceLength = inference.encoderLength;
    const int usableFrames = std::min(inference.encoderLength, window.decodeFrames);
    result.resumeFrame = inference.encoderLength >= 2 && startFrame < usableFrames
                             ? std::optional<int>(window.frameOffset + usableFrames)
                             : window.resumeFrame;

    int keepFrom = std::numeric_limits<int>::min();
    if (window.lastProcessedFrame) keepFrom = *window.lastProcessedFrame + 1;
    if (resumesInsideAFrame) keepFrom = std::min(keepFrom, window.frameOffset + startFrame);
    const auto& h = inference.hypothesis;
    for (std::size_t i = 0; i < h.ySequence.size(); ++i) {
        if (h.timestamps[i] < keepFrom) continue;
        result.tokens.push_back(h.ySequence[i]);
        result.timestamps.push_back(h.timestamps[i]);
        result.confidences.push_back(h.tokenConfidences[i]);
    }
    return result;
}

std::pair<std::vector<int>, int> AsrManager::mergeTokenSequences(const std::vector<int>& previous,
                                                                 const std::vector<int>& current,
                                                                 int maxOverlap) const {
    return rarivoredu::mergeTokenSequences(previous, current, maxOverlap, config_.tdtConfig.boundarySearchFrames,
                                           logger_);
}

std::pair<std::string, std::vector<TokenTiming>> AsrManager::convertTokensToText(
    const std::vector<int>& tokenIds, const std::vector<TokenTiming>& timings) const {
    std::lock_guard lock(mutex_);
    return rarivoredu::convertTokensToText(tokenIds, timings, vocabulary_);
}

std::vector<TokenTiming> AsrManager::createTokenTimings(const std::vector<int>& tokenIds,
                                                        const std::vector<int>& timestamps,
                                                        const std::vector<float>& confidences,
                                                        const std::vector<int>& durations) const {
    std::lock_guard lock(mutex_);
    return rarivoredu::createTokenTimings(tokenIds, timestamps, confidences, durations, vocabulary_);
}

ASRResult AsrManager::assembleResult(const std::vector<int>& tokenIds, const std::vector<int>& timestamps,
                                     const std::vector<float>& confidences, const std::vector<int>& durations,
                                     std::int64_t sampleCount, Clock::time_point startTime) const {
    ASRResult result;
    result.processingTime = secondsSince(startTime);
    result.text = convertTokensToText(tokenIds, {}).first;
    result.tokenTimings = createTokenTimings(tokenIds, timestamps, confidences, durations);
    result.confidence = transcriptConfidence(result.text, confidences, tokenIds.size(), logger_);
    result.duration = static_cast<double>(sampleCount) / static_cast<double>(config_.sampleRate);
    return result;
}

std::pair<ASRResult, std::optional<ASRPerformanceMetrics>> AsrManager::measureTranscription(
    std::span<const float> samples, PerformanceMonitor* monitor) {
    if (!monitor) return {transcribe(samples, AudioSource::microphone), std::nullopt};
    const float audioDuration = static_cast<float>(samples.size()) / static_cast<float>(config_.sampleRate);
    auto [result, metrics] = monitor->measureOperation(
        "Transcription", audioDuration, [&] { return transcribe(samples, AudioSource::microphone); });
    return {std::move(result), metrics};
}

}  // namespace rarivoredu
