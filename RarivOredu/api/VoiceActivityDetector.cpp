#include "rarivoredu/VoiceActivityDetector.h"

#include <algorithm>

#include "RarivOredu/api/ErrorTranslation.h"
#include "RarivOredu/api/ProgressRelay.h"
#include "RarivOredu/shared/ModelNames.h"
#include "RarivOredu/shared/Repo.h"
#include "RarivOredu/vad/VadManager.h"
#include "RarivOredu/vad/silero/SileroVadImport.h"
#include "rarivoredu/Error.h"
#include "rarivoredu/Models.h"

namespace rarivoredu::api {
namespace {

std::filesystem::path repoFolder() { return Models::directory() / std::string(Repo(Repo::vad).folderName()); }

}  // namespace

struct VoiceActivityDetector::Impl {
    explicit Impl(const std::filesystem::path& directory) : manager(VadConfig::defaultConfig(), directory) {}
    VadManager manager;
};

VoiceActivityDetector::VoiceActivityDetector() {
    if (!modelsInstalled()) {
        throw Error(Error::Kind::modelsMissing,
                    "The voice activity model is not installed in " + repoFolder().string());
    }
    try {
        impl_ = std::make_unique<Impl>(Models::directory().parent_path());
    } catch (...) {
        ErrorTranslation::rethrow("Could not load the voice activity model");
    }
}

VoiceActivityDetector::~VoiceActivityDetector() = default;

std::vector<float> VoiceActivityDetector::probabilities(std::span<const float> samples,
                                                        const ProgressHandler& progress) {
    std::vector<float> result;
    const std::size_t chunk = VadManager::chunkSize;
    const std::size_t chunks = (samples.size() + chunk - 1) / chunk;
    result.reserve(chunks);
    try {
        std::optional<VadState> state;
        for (std::size_t at = 0; at < samples.size(); at += chunk) {
            const VadResult chunkResult = impl_->manager.processChunk(samples.subspan(at, std::min(chunk, samples.size() - at)), state);
            state = chunkResult.outputState;
            result.push_back(chunkResult.probability);
            if (progress) progress(Progress{static_cast<double>(result.size()) / static_cast<double>(chunks), "vad", {}});
        }
    } catch (...) {
        ErrorTranslation::rethrow("Voice activity detection failed");
    }
    return result;
}

std::vector<SpeechSegment> VoiceActivityDetector::segments(std::span<const float> samples,
                                                           const ProgressHandler& progress) {
    const std::vector<float> found = probabilities(samples, progress);
    std::vector<VadResult> results;
    results.reserve(found.size());
    for (const float probability : found) {
        VadResult chunkResult;
        chunkResult.probability = probability;
        chunkResult.isVoiceActive = probability >= impl_->manager.config().threshold;
        results.push_back(chunkResult);
    }
    std::vector<SpeechSegment> segments;
    try {
        for (const VadSegment& segment :
             impl_->manager.segmentSpeech(results, static_cast<std::int64_t>(samples.size()))) {
            segments.push_back({segment.startTime, segment.endTime});
        }
    } catch (...) {
        ErrorTranslation::rethrow("Voice activity detection failed");
    }
    return segments;
}

std::filesystem::path VoiceActivityDetector::modelsFolder() { return repoFolder(); }

bool VoiceActivityDetector::modelsInstalled() {
    std::error_code error;
    return std::filesystem::exists(repoFolder() / ModelNames::VAD::sileroVadFile / "coremldata.bin", error);
}

void VoiceActivityDetector::fetchModels(const ProgressHandler& progress) {
    const ProgressRelay relay(progress);
    try {
        VadManager manager(VadConfig::defaultConfig(), Models::directory().parent_path());
    } catch (...) {
        ErrorTranslation::rethrow("Could not fetch the voice activity model");
    }
}

void VoiceActivityDetector::importModels(const std::filesystem::path& onnxFile) {
    ErrorTranslation::requireFile(onnxFile);
    try {
        SileroVadImport::importFile(std::filesystem::absolute(onnxFile), repoFolder(),
                                    SileroVadImport::Check::layoutOnly);
    } catch (...) {
        ErrorTranslation::rethrow("Could not import " + onnxFile.string());
    }
}

}  // namespace rarivoredu::api
