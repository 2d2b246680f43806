#include "RarivOredu/diarization/CoreMLDiarizer.h"

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <vector>

#include "Platform/ml/MLModel.h"
#include "Platform/system/CancellationToken.h"
#include "Platform/system/FileManager.h"
#include "RarivOredu/diarization/DiarizerModelImport.h"
#include "RarivOredu/hub/ModelFolderLoader.h"
#include "RarivOredu/hub/RepoMirror.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/DiarizerError.h"
#include "RarivOredu/shared/ModelNames.h"
#include "RarivOredu/shared/ModelStore.h"
#include "RarivOredu/shared/Repo.h"
#include "RarivOredu/shared/RepoLock.h"
#include "RarivOredu/shared/SecondsSince.h"

namespace rarivoredu {

namespace fs = std::filesystem;
using platform::FileManager;
using platform::MLComputeUnits;
using platform::MLModelConfiguration;
using Clock = std::chrono::steady_clock;

namespace {

bool allModelsPresent(const fs::path& repoFolder) {
    for (const auto& name : CoreMLDiarizer::requiredModelNames()) {
        if (!FileManager::fileExists(repoFolder / name)) return false;
    }
    return true;
}

// Fetches what is missing of the repository into its folder, then runs `load`. A fetch that fails
// is recovered as a folder that fails to load is (ModelFolderLoader::refetchRepo): the folder is set
// aside, fetched anew and loaded; when that fails too, it is put back as it was, so models the user
// placed by hand are never lost to a network error. Answers the seconds the fetching took (0 when
// nothing was missing).
double fetchIfMissingThenLoad(const fs::path& modelsDirectory, const fs::path& repoFolder, const AppLogger& logger,
                              const std::function<void()>& load) {
    if (allModelsPresent(repoFolder)) {
        load();
        return 0;
    }
    const auto started = Clock::now();
    double seconds = 0;
    try {
        RepoMirror::downloadRepo(Repo::diarizer, modelsDirectory, &DiarizerModelImport::importFromHub);
        seconds = secondsSince(started);
    } catch (const std::exception& error) {
        if (platform::CancellationToken::currentIsCancelled()) throw;
        logger.warning(std::string("Download failed, fetching a fresh copy: ") + error.what());
        ModelFolderLoader::refetchRepo(
            Repo::diarizer, modelsDirectory, std::current_exception(),
            [&] {
                seconds = secondsSince(started);
                load();
            },
            &DiarizerModelImport::importFromHub);
        return seconds;
    }
    load();
    return seconds;
}

}  // namespace

const std::set<std::string>& CoreMLDiarizer::requiredModelNames() {
    static const std::set<std::string> names = ModelNames::Diarizer::requiredModels();
    return names;
}

fs::path CoreMLDiarizer::defaultModelsDirectory() {
    return ModelStore::modelsFolder() / std::string(Repo(Repo::diarizer).folderName());
}

MLModelConfiguration CoreMLDiarizer::defaultConfiguration() {
    MLModelConfiguration configuration;
    configuration.allowLowPrecisionAccumulationOnGPU = true;
    configuration.computeUnits = std::getenv("CI") != nullptr ? MLComputeUnits::cpuAndNeuralEngine : MLComputeUnits::all;
    return configuration;
}

DiarizerModels CoreMLDiarizer::downloadModels(const std::optional<fs::path>& directory,
                                              const std::optional<MLModelConfiguration>& configuration) {
    const AppLogger logger("DiarizerModels");
    logger.info("Checking for diarizer models...");
    const auto started = Clock::now();
    // The loader is given the parent folder and finds the repository's own folder in it.
    const fs::path modelsDirectory = directory.value_or(defaultModelsDirectory()).parent_path();
    const fs::path repoFolder = modelsDirectory / std::string(Repo(Repo::diarizer).folderName());
    const MLComputeUnits computeUnits = configuration.value_or(defaultConfiguration()).computeUnits;

    std::map<std::string, platform::MLModelPtr> loaded;
    double downloadSeconds = 0;
    FileManager::createDirectory(modelsDirectory);
    {
        // The loader takes the same hold; holding it across both keeps others from deleting the
        // folder between the fetch and the load.
        RepoLock lock(repoFolder);
        const auto& names = requiredModelNames();
        downloadSeconds = fetchIfMissingThenLoad(modelsDirectory, repoFolder, logger, [&] {
            loaded = ModelFolderLoader::loadModels(Repo::diarizer, std::vector<std::string>(names.begin(), names.end()),
                                                   modelsDirectory, computeUnits, &DiarizerModelImport::importFromHub);
        });
    }
    const auto segmentation = loaded.find(ModelNames::Diarizer::segmentationFile);
    const auto embedding = loaded.find(ModelNames::Diarizer::embeddingFile);
    if (segmentation == loaded.end() || embedding == loaded.end() || !segmentation->second || !embedding->second) {
        throw DiarizerError::modelDownloadFailed();
    }
    DiarizerModels models;
    models.segmentationModel = segmentation->second;
    models.embeddingModel = embedding->second;
    models.downloadDuration = downloadSeconds;
    models.compilationDuration = secondsSince(started) - downloadSeconds;
    return models;
}

DiarizerModels CoreMLDiarizer::download(const std::optional<fs::path>& directory,
                                        const std::optional<MLModelConfiguration>& configuration) {
    return downloadModels(directory.value_or(defaultModelsDirectory()), configuration);
}

DiarizerModels CoreMLDiarizer::downloadIfNeeded(const std::optional<fs::path>& directory,
                                                const std::optional<MLModelConfiguration>& configuration) {
    return downloadModels(directory, configuration);
}

DiarizerModels CoreMLDiarizer::loadLocalModels(const fs::path& segmentationURL, const fs::path& embeddingURL,
                                               const std::optional<MLModelConfiguration>& configuration) {
    const AppLogger logger("DiarizerModels");
    logger.info("Loading predownloaded models");
    const MLModelConfiguration resolved = configuration.value_or(defaultConfiguration());
    const auto started = Clock::now();
    DiarizerModels models;
    models.segmentationModel = platform::MLModel::modelWithContentsOfURL(segmentationURL, resolved);
    models.embeddingModel = platform::MLModel::modelWithContentsOfURL(embeddingURL, resolved);
    models.compilationDuration = secondsSince(started);
    return models;
}

}  // namespace rarivoredu
