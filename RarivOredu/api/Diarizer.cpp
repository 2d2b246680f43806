#include "rarivoredu/Diarizer.h"

#include <algorithm>

#include "RarivOredu/api/ErrorTranslation.h"
#include "RarivOredu/api/ProgressRelay.h"
#include "RarivOredu/api/SpeakerLimit.h"
#include "RarivOredu/diarization/CoreMLDiarizer.h"
#include "RarivOredu/diarization/DiarizerManager.h"
#include "RarivOredu/diarization/DiarizerModelImport.h"
#include "RarivOredu/shared/ModelNames.h"
#include "RarivOredu/shared/Repo.h"
#include "rarivoredu/Error.h"
#include "rarivoredu/Models.h"

namespace rarivoredu::api {
namespace {

std::filesystem::path repoFolder() { return Models::directory() / std::string(Repo(Repo::diarizer).folderName()); }

}  // namespace

struct Diarizer::Impl {
    std::size_t maxSpeakers = 0;
    DiarizerManager manager;
};

Diarizer::Diarizer(std::optional<int> maxSpeakers) {
    if (maxSpeakers && *maxSpeakers < 1) {
        throw Error(Error::Kind::invalidArgument, "The number of speakers must be 1 or more");
    }
    if (!modelsInstalled()) {
        throw Error(Error::Kind::modelsMissing, "The diarization models are not installed in " + repoFolder().string());
    }
    try {
        auto impl = std::make_unique<Impl>();
        impl->maxSpeakers = maxSpeakers ? static_cast<std::size_t>(*maxSpeakers) : 0;
        impl->manager.initialize(CoreMLDiarizer::loadLocalModels(repoFolder() / ModelNames::Diarizer::segmentationFile,
                                                                 repoFolder() / ModelNames::Diarizer::embeddingFile));
        impl_ = std::move(impl);
    } catch (...) {
        ErrorTranslation::rethrow("Could not load the diarization models");
    }
}

Diarizer::~Diarizer() = default;

std::vector<SpeakerTurn> Diarizer::diarize(std::span<const float> samples, const ProgressHandler& progress) {
    // The manager cuts a recording into chunks of the models' window and keeps its speakers from
    // chunk to chunk; handing it the chunks one by one gives the same turns and a progress.
    const std::size_t chunk = DiarizerManager::segmentationInputSamples;
    std::vector<SpeakerLimit::Turn> turns;
    try {
        for (std::size_t at = 0; at < samples.size(); at += chunk) {
            const auto part = samples.subspan(at, std::min(chunk, samples.size() - at));
            const double offset = static_cast<double>(at) / DiarizerManager::modelSampleRate;
            for (const TimedSpeakerSegment& segment : impl_->manager.diarize(part).segments) {
                turns.push_back({segment.speakerId, segment.embedding, offset + segment.startTimeSeconds,
                                 offset + segment.endTimeSeconds, segment.qualityScore});
            }
            if (progress) {
                progress(Progress{static_cast<double>(at + part.size()) / static_cast<double>(samples.size()),
                                  "diarize", {}});
            }
        }
    } catch (...) {
        ErrorTranslation::rethrow("Diarization failed");
    }
    SpeakerLimit::apply(turns, impl_->maxSpeakers);
    std::vector<SpeakerTurn> result;
    result.reserve(turns.size());
    for (const auto& turn : turns) result.push_back({turn.speaker, turn.start, turn.end, turn.quality});
    return result;
}

std::filesystem::path Diarizer::modelsFolder() { return repoFolder(); }

bool Diarizer::modelsInstalled() {
    std::error_code error;
    for (const std::string& name : ModelNames::Diarizer::requiredModels()) {
        if (!std::filesystem::exists(repoFolder() / name / "coremldata.bin", error)) return false;
    }
    return true;
}

void Diarizer::fetchModels(const ProgressHandler& progress) {
    const ProgressRelay relay(progress);
    try {
        CoreMLDiarizer::downloadIfNeeded(repoFolder());
    } catch (...) {
        ErrorTranslation::rethrow("Could not fetch the diarization models");
    }
}

void Diarizer::importModels(const std::filesystem::path& segmentationCheckpoint,
                            const std::filesystem::path& embeddingCheckpoint) {
    ErrorTranslation::requireFile(segmentationCheckpoint);
    ErrorTranslation::requireFile(embeddingCheckpoint);
    try {
        DiarizerModelImport::importIntoModelsDirectory(std::filesystem::absolute(segmentationCheckpoint),
                                                       std::filesystem::absolute(embeddingCheckpoint),
                                                       Models::directory());
    } catch (...) {
        ErrorTranslation::rethrow("Could not import the diarization checkpoints");
    }
}

}  // namespace rarivoredu::api
