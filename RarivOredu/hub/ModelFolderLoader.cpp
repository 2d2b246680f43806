#include "RarivOredu/hub/ModelFolderLoader.h"

#include <charconv>
#include <chrono>
#include <optional>
#include <set>

#include "Platform/ml/MLModelBundle.h"
#include "Platform/system/CancellationToken.h"
#include "Platform/system/CocoaError.h"
#include "Platform/system/ErrorDescription.h"
#include "Platform/system/FileManager.h"
#include "RarivOredu/hub/HubEndpoint.h"
#include "RarivOredu/hub/RepoMirror.h"
#include "RarivOredu/shared/ModelFolderError.h"
#include "RarivOredu/shared/ModelSourceError.h"
#include "RarivOredu/shared/RepoLock.h"
#include "RarivOredu/shared/SystemInfo.h"
#include "RarivOredu/shared/SystemInfoReporter.h"

namespace rarivoredu {
namespace fs = std::filesystem;
using platform::CocoaError;
using platform::FileManager;

namespace {

const AppLogger& logger() { return HubEndpoint::logger(); }

std::string formatMilliseconds(double milliseconds) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, milliseconds, std::chars_format::fixed, 2);
    return std::string(buffer, result.ptr);
}

std::string arrayText(const std::vector<std::string>& names) {
    std::string text = "[";
    for (std::size_t i = 0; i < names.size(); ++i) text += (i ? ", \"" : "\"") + names[i] + "\"";
    return text + "]";
}

// Repository folders being replaced by refetchRepo on this thread: loads inside it get one try.
std::set<fs::path>& foldersBeingRefetched() {
    thread_local std::set<fs::path> folders;
    return folders;
}

class RefetchMark {
public:
    explicit RefetchMark(const fs::path& folder) : folder_(folder.lexically_normal()) {
        foldersBeingRefetched().insert(folder_);
    }
    ~RefetchMark() { foldersBeingRefetched().erase(folder_); }
    RefetchMark(const RefetchMark&) = delete;
    RefetchMark& operator=(const RefetchMark&) = delete;

private:
    fs::path folder_;
};

// Removes a folder; a failure is logged, as what it leaves can only be found, not trusted.
void removeFolder(const fs::path& folder) {
    std::error_code ec;
    fs::remove_all(folder, ec);
    if (ec) logger().error("Could not remove " + folder.string() + ": " + ec.message());
}

}  // namespace

std::map<std::string, platform::MLModelPtr> ModelFolderLoader::loadModels(Repo repo,
                                                                         const std::vector<std::string>& modelNames,
                                                                     const fs::path& directory,
                                                                     platform::MLComputeUnits computeUnits,
                                                                     const UpstreamImport::Importer& importer) {
    SystemInfoReporter::shared().logIfNeeded(logger());
    const fs::path repoFolder = directory / std::string(repo.folderName());
    RepoLock lock(repoFolder);
    if (foldersBeingRefetched().count(repoFolder.lexically_normal()) != 0) {
        return loadModelsOnce(repo, modelNames, directory, computeUnits, importer);
    }

    // A folder that is there was placed by the user or by an earlier download: it is only ever set
    // aside. One this call downloads is its own until the models load from it.
    const bool existed = FileManager::fileExists(repoFolder);
    std::exception_ptr firstError;
    try {
        return loadModelsOnce(repo, modelNames, directory, computeUnits, importer);
    } catch (const std::exception& error) {
        if (!existed) removeFolder(repoFolder);
        if (platform::CancellationToken::currentIsCancelled()) throw;
        // What trying again cannot change is said at once, without a second transfer.
        if (ModelSourceError::isPermanent(std::current_exception())) {
            logger().error(std::string("Load failed for good: ") + error.what());
            throw;
        }
        logger().warning(std::string("First load failed: ") + error.what());
        firstError = std::current_exception();
    }

    if (!existed) {
        logger().info("Downloading " + std::string(repo.folderName()) + " once more…");
        try {
            return loadModelsOnce(repo, modelNames, directory, computeUnits, importer);
        } catch (...) {
            removeFolder(repoFolder);
            throw;
        }
    }
    std::map<std::string, platform::MLModelPtr> models;
    refetchRepo(
        repo, directory, firstError, [&] { models = loadModelsOnce(repo, modelNames, directory, computeUnits, importer); },
        importer);
    return models;
}

void ModelFolderLoader::refetchRepo(Repo repo, const fs::path& directory, const std::exception_ptr& cause,
                                const std::function<void()>& use, const UpstreamImport::Importer& importer) {
    const fs::path repoFolder = directory / std::string(repo.folderName());
    RepoLock lock(repoFolder);
    const std::string causeText = platform::errorDescription(cause);

    std::optional<fs::path> setAside;
    if (FileManager::fileExists(repoFolder)) {
        try {
            setAside = FileManager::moveAside(repoFolder);
        } catch (const platform::NSError& error) {
            // Without a place to keep the folder, nothing is downloaded over it.
            logger().error(std::string("Cannot replace ") + repoFolder.string() + ": " + error.what());
            if (cause) std::rethrow_exception(cause);
            throw;
        }
        logger().info("Set " + repoFolder.string() + " aside as " + setAside->filename().string() +
                      " and downloading it again…");
    }
    // Takes the fresh copy away and puts the folder back as it was.
    auto putBack = [&] {
        removeFolder(repoFolder);
        if (!setAside) return;
        try {
            FileManager::moveItem(*setAside, repoFolder);
            logger().info("Put " + repoFolder.string() + " back as it was");
        } catch (const platform::NSError& error) {
            logger().error("Could not put " + repoFolder.string() + " back; it is kept as " + setAside->string() +
                           ": " + error.what());
        }
    };

    RefetchMark mark(repoFolder);
    try {
        RepoMirror::downloadRepo(repo, directory, importer);
    } catch (const std::exception& error) {
        putBack();
        if (platform::CancellationToken::currentIsCancelled()) throw;
        const auto failure = ModelFolderError::refetchFailed(repoFolder, causeText, error.what());
        logger().error(failure.what());
        throw failure;
    }
    try {
        use();
    } catch (const std::exception& error) {
        if (!platform::CancellationToken::currentIsCancelled()) {
            logger().error("The fresh copy of " + std::string(repo.folderName()) + " failed too: " + error.what());
        }
        putBack();
        throw;
    }
    if (setAside) {
        removeFolder(*setAside);
        logger().info("Removed " + setAside->filename().string() + ": the fresh download replaced it");
    }
}

std::map<std::string, platform::MLModelPtr> ModelFolderLoader::loadModelsOnce(Repo repo,
                                                                         const std::vector<std::string>& modelNames,
                                                                         const fs::path& directory,
                                                                         platform::MLComputeUnits computeUnits,
                                                                         const UpstreamImport::Importer& importer) {
    SystemInfoReporter::shared().logIfNeeded(logger());
    FileManager::createDirectory(directory);
    const fs::path repoFolder = directory / std::string(repo.folderName());
    if (!FileManager::fileExists(repoFolder)) {
        logger().info("Models not found in cache at " + repoFolder.string());
        RepoMirror::downloadRepo(repo, directory, importer);
    } else {
        logger().info("Found " + std::string(repo.folderName()) + " locally, no download needed");
    }

    platform::MLModelConfiguration configuration;
    configuration.computeUnits = computeUnits;
    configuration.allowLowPrecisionAccumulationOnGPU = true;

    auto reportAndThrow = [&](const std::string& name, const std::string& description, std::exception_ptr error) {
        logger().error("Failed to load model " + name + ": " + description);
        try {
            logger().error("Model directory contents: " + arrayText(FileManager::contentsOfDirectory(repoFolder)));
        } catch (const std::exception&) {
        }
        std::rethrow_exception(error);
    };

    std::map<std::string, platform::MLModelPtr> models;
    for (const auto& name : modelNames) {
        platform::CancellationToken::checkCancellation();
        const fs::path modelPath = repoFolder / name;
        bool isDirectory = false;
        if (!FileManager::fileExists(modelPath, &isDirectory)) {
            throw CocoaError::make(CocoaError::fileNoSuchFile, "Model file not found: " + name);
        }
        if (!isDirectory) {
            const auto error = CocoaError::make(CocoaError::fileReadCorruptFile, "Model path is not a directory: " + name);
            reportAndThrow(name, error.localizedDescription(), std::make_exception_ptr(error));
        }
        if (!FileManager::fileExists(modelPath / platform::MLModelBundle::descriptionFileName)) {
            logger().error("Missing coremldata.bin in " + name);
            const auto error = CocoaError::make(CocoaError::fileReadCorruptFile, "Missing coremldata.bin in model: " + name);
            reportAndThrow(name, error.localizedDescription(), std::make_exception_ptr(error));
        }
        const auto started = std::chrono::steady_clock::now();
        try {
            models[name] = platform::MLModel::modelWithContentsOfURL(modelPath, configuration);
        } catch (const std::exception& error) {
            reportAndThrow(name, error.what(), std::current_exception());
        }
        const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - started;
        logger().info("Compiled model " + name + " in " + formatMilliseconds(elapsed.count()) + " ms :: " +
                      SystemInfo::summary());
    }
    return models;
}

}  // namespace rarivoredu
