#include "RarivOredu/asr/setup/ParakeetModelSetup.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <system_error>

#include "Platform/system/CancellationToken.h"
#include "Platform/system/FileManager.h"
#include "Platform/system/HostFacts.h"
#include "RarivOredu/asr/AsrModelsError.h"
#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/hub/HubListing.h"
#include "RarivOredu/hub/VerifiedDownload.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/ModelLoadProgress.h"
#include "RarivOredu/shared/ModelSourceError.h"
#include "RarivOredu/shared/ModelStorageError.h"
#include "RarivOredu/shared/ModelStore.h"
#include "RarivOredu/shared/RepoLock.h"
#include "RarivOredu/shared/StagedModelFolder.h"

namespace rarivoredu {
namespace fs = std::filesystem;
using platform::FileManager;

namespace {

const AppLogger& logger() {
    static const AppLogger instance("ParakeetModelSetup");
    return instance;
}

std::string versionName(AsrModelVersion version) { return version == AsrModelVersion::v2 ? "v2" : "v3"; }

// The options with the real measures and the real importer where a seam is left empty.
ParakeetModelSetup::Options completed(ParakeetModelSetup::Options options) {
    if (!options.availableBytes) options.availableBytes = [](const fs::path& path) {
        return ModelStore::availableBytes(path);
    };
    if (!options.importNemo) {
        options.importNemo = [](const fs::path& nemo, const fs::path& folder, const ParakeetImporter::Progress& progress) {
            return ParakeetImporter::importNemo(nemo, folder, {}, progress);
        };
    }
    if (!options.requiredSpace) options.requiredSpace = [](const fs::path& nemo) {
        return ParakeetImporter::requiredSpace(nemo);
    };
    return options;
}

void requireSpace(const ParakeetModelSetup::Options& options, const fs::path& folder, std::uint64_t needed) {
    try {
        ModelStore::requireSpace(folder, needed, options.availableBytes(folder));
    } catch (const ModelStorageError& error) {
        logger().error(error.what());
        throw;
    }
}

// Runs a step that reads or converts a downloaded checkpoint. Its bytes are the ones the hub
// lists, so what the importer refuses in them it would refuse again: said as such, not retried.
template <typename Step>
auto refusingCheckpoint(const std::string& fileName, Step&& step) {
    try {
        return step();
    } catch (const CheckpointError& error) {
        logger().error("The importer refuses " + fileName + ": " + error.what());
        throw ModelSourceError::refusedCheckpoint(fileName, error.what());
    } catch (const AsrModelsError& error) {
        logger().error("The importer refuses " + fileName + ": " + error.what());
        throw ModelSourceError::refusedCheckpoint(fileName, error.what());
    }
}

// Reports a step's fraction when its tenth of a percent changes, and its end always.
class ThrottledReport {
public:
    void operator()(ModelLoadProgress progress) {
        const long mille = std::lround(progress.fraction * 1000.0);
        if (lastStep_ == progress.step && mille == lastMille_ && progress.detail == lastDetail_) return;
        lastStep_ = progress.step;
        lastMille_ = mille;
        lastDetail_ = progress.detail;
        ModelLoadProgress::report(progress);
    }

private:
    std::optional<ModelLoadProgress::Step> lastStep_;
    long lastMille_ = -1;
    std::string lastDetail_;
};

ParakeetImporter::Progress importProgress(ThrottledReport& report) {
    return [&report](std::string_view step, double fraction) {
        ModelLoadProgress progress;
        progress.step = ModelLoadProgress::Step::import;
        progress.fraction = fraction;
        progress.detail = std::string(step);
        report(progress);
    };
}

// Converts into the folder and checks that the checkpoint holds the version the folder is for.
void importInto(const ParakeetModelSetup::Options& options, AsrModelVersion version, const fs::path& nemo,
                const fs::path& versionFolder, ThrottledReport& report) {
    const AsrModelVersion found = options.importNemo(nemo, versionFolder, importProgress(report));
    if (found != version) {
        std::error_code ec;
        fs::remove_all(versionFolder, ec);
        throw AsrModelsError::loadingFailed("The checkpoint " + nemo.filename().string() + " holds version " +
                                            versionName(found) + ", not " + versionName(version));
    }
}

void removeDownload(const fs::path& nemo) {
    std::error_code ec;
    fs::remove(nemo, ec);
    if (ec) logger().warning("Could not remove " + nemo.string() + ": " + ec.message());
    fs::remove(nemo.parent_path(), ec);  // only when empty
}

}  // namespace

std::string_view ParakeetModelSetup::upstreamRepoId(AsrModelVersion version) noexcept {
    return version == AsrModelVersion::v2 ? "nvidia/parakeet-tdt-0.6b-v2" : "nvidia/parakeet-tdt-0.6b-v3";
}

std::string_view ParakeetModelSetup::upstreamFileName(AsrModelVersion version) noexcept {
    return version == AsrModelVersion::v2 ? "parakeet-tdt-0.6b-v2.nemo" : "parakeet-tdt-0.6b-v3.nemo";
}

fs::path ParakeetModelSetup::downloadsFolder(const fs::path& modelsDirectory) { return modelsDirectory / ".downloads"; }

std::uint64_t ParakeetModelSetup::estimatedFolderBytes(std::uint64_t checkpointBytes) noexcept {
    // The same weights again, and a little for the modules' code and descriptions.
    return checkpointBytes + checkpointBytes / 20;
}

UpstreamImport::Importer ParakeetModelSetup::hubImporter(AsrModelVersion version, Options options) {
    return [version, options = std::move(options)](const fs::path& folder) {
        return importFromHub(version, folder, options);
    };
}

bool ParakeetModelSetup::importFromHub(AsrModelVersion version, const fs::path& versionFolder, const Options& given) {
    const Options options = completed(given);
    const std::string repoId(upstreamRepoId(version));
    const std::string fileName(upstreamFileName(version));
    const auto listing = HubListing::listRepoFilesIfPresent(repoId);
    if (!listing) {
        logger().info("The hub has no " + repoId);
        return false;
    }
    const RepoFile* entry = nullptr;
    for (const auto& file : *listing) {
        if (file.type == "file" && file.path == fileName) entry = &file;
    }
    if (entry == nullptr) {
        logger().warning("The hub's " + repoId + " lists no " + fileName);
        return false;
    }
    const std::int64_t size = entry->lfs ? entry->lfs->size : entry->size;
    const auto total = static_cast<std::uint64_t>(std::max<std::int64_t>(size, 0));

    const fs::path modelsDirectory = versionFolder.parent_path();
    const fs::path nemo = downloadsFolder(modelsDirectory) / fileName;
    // What is already here counts: an unfinished download needs only its rest.
    std::uint64_t here = FileManager::fileSize(nemo).value_or(0);
    if (here != total) here = std::min(FileManager::fileSize(VerifiedDownload::partialPath(nemo)).value_or(0), total);
    requireSpace(options, modelsDirectory, (total - here) + estimatedFolderBytes(total));

    ThrottledReport report;
    logger().info("Fetching " + repoId + "/" + fileName + " (" + platform::formatByteCount(total, false) + ")");
    VerifiedDownload::resumableDownload(repoId, fileName, nemo, size, entry->sha256Digest(), [&](double fraction) {
        ModelLoadProgress progress;
        progress.step = ModelLoadProgress::Step::download;
        progress.fraction = fraction;
        progress.bytesTotal = total;
        progress.bytesDone = static_cast<std::uint64_t>(std::llround(fraction * static_cast<double>(total)));
        report(progress);
    });

    requireSpace(options, modelsDirectory, refusingCheckpoint(fileName, [&] { return options.requiredSpace(nemo); }));
    platform::CancellationToken::checkCancellation();
    logger().info("Converting " + fileName + " into " + versionFolder.string());
    refusingCheckpoint(fileName, [&] { importInto(options, version, nemo, versionFolder, report); });
    removeDownload(nemo);
    logger().info("The " + versionName(version) + " models are ready in " + versionFolder.string());
    return true;
}

ParakeetModelSetup::Imported ParakeetModelSetup::importFile(const fs::path& nemoFile, const fs::path& modelsDirectory,
                                                           const Options& given) {
    const Options options = completed(given);
    if (!FileManager::fileExists(nemoFile)) {
        throw AsrModelsError::modelNotFound(nemoFile.filename().string(), nemoFile);
    }
    FileManager::createDirectory(modelsDirectory);
    requireSpace(options, modelsDirectory, options.requiredSpace(nemoFile));

    // The version is known once the checkpoint is read: the folder is staged under a name of its
    // own and put in the version's place when it is complete.
    StagedModelFolder staged(modelsDirectory, ".import-");
    ThrottledReport report;
    const AsrModelVersion version = options.importNemo(nemoFile, staged.path(), importProgress(report));

    const fs::path target = modelsDirectory / std::string(folderName(version));
    RepoLock lock(target);
    staged.commit(target);
    logger().info("Imported " + nemoFile.string() + " into " + target.string());
    return {version, target};
}

}  // namespace rarivoredu
