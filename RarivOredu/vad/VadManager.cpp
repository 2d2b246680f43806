#include "RarivOredu/vad/VadManager.h"

#include <algorithm>
#include <chrono>
#include <charconv>

#include "RarivOredu/hub/ModelFolderLoader.h"
#include "RarivOredu/shared/ModelNames.h"
#include "RarivOredu/shared/ModelStore.h"
#include "RarivOredu/shared/Repo.h"
#include "RarivOredu/shared/SecondsSince.h"
#include "RarivOredu/vad/SpeechSegmentation.h"
#include "RarivOredu/vad/StreamingSpeechDetector.h"
#include "RarivOredu/vad/VadError.h"
#include "RarivOredu/vad/silero/SileroVadImport.h"

namespace rarivoredu {

namespace {

using Clock = std::chrono::steady_clock;

// The context after a chunk: its last 64 samples of audio, behind the end of the old context
// when it holds fewer.
void nextContext(const VadState& state, std::span<const float> used, VadState& next) {
    constexpr std::size_t size = VadState::contextSize;
    auto& context = next.context;
    if (used.size() >= size) {
        std::copy(used.end() - size, used.end(), context.begin());
        return;
    }
    const std::size_t kept = size - used.size();
    std::copy(state.context.end() - kept, state.context.end(), context.begin());
    std::copy(used.begin(), used.end(), context.begin() + kept);
}

}  // namespace

VadManager::VadManager(VadConfig config) : VadManager(config, platform::MLModelPtr{}) { initialize(std::nullopt); }

VadManager::VadManager(VadConfig config, platform::MLModelPtr model)
    : logger_("VadManager"), config_(config), modelRunner_(logger_), vadModel_(std::move(model)) {
    if (vadModel_) logger_.info("VAD initialized with provided model");
}

VadManager::VadManager(VadConfig config, const std::filesystem::path& directory)
    : VadManager(config, platform::MLModelPtr{}) {
    initialize(directory);
}

void VadManager::initialize(const std::optional<std::filesystem::path>& directory) {
    const auto start = Clock::now();
    loadModel(directory);
    char elapsed[32];
    const auto written = std::to_chars(elapsed, elapsed + sizeof elapsed, secondsSince(start), std::chars_format::fixed, 2);
    logger_.info("VAD system initialized in " + std::string(elapsed, written.ptr) + "s");
}

bool VadManager::isAvailable() const {
    std::lock_guard lock(mutex_);
    return vadModel_ != nullptr;
}

std::filesystem::path VadManager::defaultModelsDirectory() {
    return ModelStore::libraryFolder();
}

void VadManager::loadModel(const std::optional<std::filesystem::path>& directory) {
    const auto modelsDirectory = ModelStore::modelsFolder(directory.value_or(defaultModelsDirectory()));
    const auto& required = ModelNames::VAD::requiredModels();
    // The fetch runs unlocked: chunks of a model already loaded go on meanwhile. A first download
    // imports Silero's own export of the network.
    const auto models =
        ModelFolderLoader::loadModels(Repo::vad, std::vector<std::string>(required.begin(), required.end()),
                                      modelsDirectory, config_.computeUnits, &SileroVadImport::importFromSource);
    const auto found = models.find(ModelNames::VAD::sileroVadFile);
    if (found == models.end() || !found->second) {
        logger_.error("Failed to load VAD model from downloaded models");
        throw VadError::modelLoadingFailed();
    }
    {
        std::lock_guard lock(mutex_);
        vadModel_ = found->second;
    }
    logger_.info("VAD model loaded successfully");
}

std::vector<VadResult> VadManager::processFile(const std::filesystem::path& url) {
    return process(audioConverter_.resampleAudioFile(url));
}

std::vector<VadResult> VadManager::processBuffer(const platform::AVAudioPCMBuffer& buffer) {
    if (audioConverter_.matchesTargetFormat(buffer.format())) {
        return process(audioConverter_.extractFloatArray(buffer));
    }
    return process(audioConverter_.convertBuffer(buffer, audioConverter_.targetFormat()));
}

std::vector<VadResult> VadManager::processSamples(std::span<const float> samples) { return process(samples); }

std::vector<VadResult> VadManager::process(std::span<const float> samples) {
    if (samples.empty()) return {};
    std::lock_guard lock(mutex_);
    return processLocked(samples);
}

std::vector<VadResult> VadManager::processLocked(std::span<const float> samples) {
    std::vector<VadResult> results;
    results.reserve((samples.size() + chunkSize - 1) / chunkSize);
    const VadState initial = VadState::initial();
    const VadState* state = &initial;
    for (std::size_t offset = 0; offset < samples.size(); offset += chunkSize) {
        const auto chunk = samples.subspan(offset, std::min<std::size_t>(chunkSize, samples.size() - offset));
        results.push_back(processChunkLocked(chunk, *state));  // reserved: the pointer below stays valid
        state = &results.back().outputState;
    }
    return results;
}

VadResult VadManager::processChunk(std::span<const float> chunk, const std::optional<VadState>& state) {
    std::lock_guard lock(mutex_);
    return processChunkLocked(chunk, state ? *state : VadState::initial());
}

VadResult VadManager::processChunkLocked(std::span<const float> chunk, const VadState& state) {
    if (!vadModel_) {
        logger_.error("VAD system not initialized");
        throw VadError::notInitialized();
    }
    const auto start = Clock::now();
    const auto used = chunk.first(std::min<std::size_t>(chunk.size(), chunkSize));
    VadResult result;
    result.probability = modelRunner_.run(used, state, *vadModel_, result.outputState);
    nextContext(state, used, result.outputState);
    result.isVoiceActive = result.probability >= config_.threshold;
    result.processingTime = secondsSince(start);
    return result;
}

void VadManager::validate(const VadSegmentationConfig& config) const {
    try {
        config.validate();
    } catch (const VadError& error) {
        logger_.error(error.what());
        throw;
    }
}

std::vector<VadSegment> VadManager::segmentSpeech(std::span<const float> samples, const VadSegmentationConfig& config) {
    validate(config);
    const auto results = process(samples);
    return segmentSpeech(results, static_cast<std::int64_t>(samples.size()), config);
}

std::vector<VadSegment> VadManager::segmentSpeech(std::span<const VadResult> results, std::int64_t totalSamples,
                                                  const VadSegmentationConfig& config) const {
    validate(config);
    if (results.empty() || totalSamples < 1) return {};
    std::vector<float> probabilities(results.size());
    std::transform(results.begin(), results.end(), probabilities.begin(),
                   [](const VadResult& result) { return result.probability; });
    const auto ranges = SpeechSegmentation::regions(probabilities, totalSamples, config_.threshold, config);
    std::vector<VadSegment> segments;
    segments.reserve(ranges.size());
    for (const auto& range : ranges) {
        segments.push_back({static_cast<double>(range.start) / sampleRate, static_cast<double>(range.end) / sampleRate});
    }
    return segments;
}

std::vector<std::vector<float>> VadManager::segmentSpeechAudio(std::span<const float> samples,
                                                               const VadSegmentationConfig& config) {
    const auto total = static_cast<std::int64_t>(samples.size());
    std::vector<std::vector<float>> pieces;
    for (const auto& segment : segmentSpeech(samples, config)) {
        const auto start = std::clamp<std::int64_t>(segment.startSample(sampleRate), 0, total);
        const auto end = std::clamp<std::int64_t>(segment.endSample(sampleRate), start, total);
        pieces.emplace_back(samples.begin() + start, samples.begin() + end);
    }
    return pieces;
}

VadStreamResult VadManager::processStreamingChunk(std::span<const float> chunk, const VadStreamState& state,
                                                  const VadSegmentationConfig& config, bool returnSeconds,
                                                  int timeResolution) {
    validate(config);
    if (chunk.size() > static_cast<std::size_t>(chunkSize)) {
        const auto error = VadError::invalidConfiguration(
            "streaming chunks hold at most 4096 samples; this one holds " + std::to_string(chunk.size()) +
            " and the rest would go unheard");
        logger_.error(error.what());
        throw error;
    }
    const auto result = processChunk(chunk, state.modelState);
    return StreamingSpeechDetector::advance(state, static_cast<std::int64_t>(chunk.size()), result.probability,
                                            result.outputState, config_.threshold, config, returnSeconds,
                                            timeResolution);
}

std::optional<VadStreamEvent> VadManager::finishStream(const VadStreamState& state, bool returnSeconds,
                                                       int timeResolution) {
    return StreamingSpeechDetector::finish(state, returnSeconds, timeResolution);
}

}  // namespace rarivoredu
