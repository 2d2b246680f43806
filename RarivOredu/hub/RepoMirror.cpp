#include "RarivOredu/hub/RepoMirror.h"

#include <algorithm>
#include <set>
#include <vector>

#include "Platform/system/FileManager.h"
#include "Platform/system/HostFacts.h"
#include "RarivOredu/hub/HubEndpoint.h"
#include "RarivOredu/hub/HubListing.h"
#include "RarivOredu/hub/VerifiedDownload.h"
#include "RarivOredu/shared/ModelNames.h"
#include "RarivOredu/shared/RepoLock.h"

namespace rarivoredu {
namespace fs = std::filesystem;
using platform::FileManager;

namespace {

constexpr std::int64_t announceAtInfoAbove = 10'000'000;

const AppLogger& logger() { return HubEndpoint::logger(); }

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

void RepoMirror::downloadRepo(Repo repo, const fs::path& directory, const UpstreamImport::Importer& importer) {
    const fs::path repoFolder = directory / std::string(repo.folderName());
    const std::string folderName(repo.folderName());
    RepoLock lock(repoFolder);
    // An engine that imports its models from the upstream checkpoint goes first; the hub's
    // listing of bundles of ours serves where the hub holds no upstream source.
    if (importer) {
        if (importer(repoFolder)) return;
        logger().info("The hub holds no upstream source for " + folderName + ": fetching its bundles");
    }
    const auto required = ModelNames::requiredModels(repo);

    const auto entries = HubListing::listRepoFiles(repo, "");
    std::vector<const RepoFile*> wanted;
    std::set<std::string> missing(required.begin(), required.end());
    for (const auto& entry : entries) {
        if (entry.type == "directory" && endsWith(entry.path, ".mlmodelc")) {
            if (required.count(entry.path) != 0) {
                wanted.push_back(&entry);
                missing.erase(entry.path);
            } else {
                logger().info("Skipping unrequired model: " + entry.path);
            }
        } else if (entry.type == "file" && (endsWith(entry.path, ".json") || endsWith(entry.path, ".txt"))) {
            wanted.push_back(&entry);
        }
    }
    const std::string hub = HubEndpoint::hubBaseURL();
    for (const auto& name : missing) {
        logger().warning("The hub at " + hub + " lists no " + name + " in " + std::string(repo.remotePath()));
    }

    FileManager::createDirectory(repoFolder);
    // Said once, before the first file that is really fetched: files already complete are kept.
    bool fetched = false;
    auto announceRepo = [&] {
        if (!fetched) logger().info("Downloading " + folderName + " from " + hub + "...");
        fetched = true;
    };
    for (const RepoFile* entry : wanted) {
        if (entry->type == "directory") {
            bool announced = false;
            downloadDirectory(repo, entry->path, repoFolder, [&] {
                if (announced) return;
                announced = true;
                announceRepo();
                logger().info("Downloading required model: " + entry->path);
            });
            continue;
        }
        if (!VerifiedDownload::isComplete(repoFolder / entry->path, entry->size)) {
            announceRepo();
            logger().info("Downloading " + entry->path);
        }
        VerifiedDownload::downloadFile(repo, entry->path, repoFolder / entry->path, entry->size);
    }
    if (!fetched) {
        logger().info("Nothing to download for " + folderName + ": every file the hub lists is here already");
    } else if (missing.empty()) {
        logger().info("Downloaded all required models for " + folderName);
    } else {
        logger().info("Downloaded " + folderName + " without the models the hub does not list");
    }
}

void RepoMirror::downloadDirectory(Repo repo, const std::string& path, const fs::path& repoFolder) {
    downloadDirectory(repo, path, repoFolder, [] {});
}

void RepoMirror::downloadDirectory(Repo repo, const std::string& path, const fs::path& repoFolder,
                                   const std::function<void()>& beforeFetch) {
    HubEndpoint::requireSafePath(path);
    FileManager::createDirectory(repoFolder / path);
    for (const auto& entry : HubListing::listRepoFiles(repo, path)) {
        if (entry.type == "directory") {
            downloadDirectory(repo, entry.path, repoFolder, beforeFetch);
        } else if (entry.type == "file") {
            const std::int64_t expectedSize = entry.contentSize();
            const auto level = expectedSize > announceAtInfoAbove ? AppLogger::Level::info : AppLogger::Level::debug;
            if (!VerifiedDownload::isComplete(repoFolder / entry.path, expectedSize)) {
                beforeFetch();
                if (AppLogger::isEnabled(level)) {
                    const auto bytes = static_cast<std::uint64_t>(std::max<std::int64_t>(expectedSize, 0));
                    logger().log(level,
                                 "Downloading " + entry.path + " (" + platform::formatByteCount(bytes, true) + ")");
                }
            }
            VerifiedDownload::downloadFile(repo, entry.path, repoFolder / entry.path, expectedSize,
                                           VerifiedDownload::progressLogger(entry.path, expectedSize),
                                           VerifiedDownload::defaultTimeout, entry.sha256Digest());
        }
    }
}

}  // namespace rarivoredu
