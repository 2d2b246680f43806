#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "RarivOredu/hub/RepoFile.h"

namespace rarivoredu {

// One upstream repository of the hub that an import reads files from (a checkpoint in its
// authors' format, not bundles of ours): finds a file's listing entry, and fetches a listed file
// with the size and SHA-256 the listing gives checked (VerifiedDownload::downloadListedFile).
class HubSource {
public:
    explicit HubSource(std::string repoId) : repoId_(std::move(repoId)) {}

    const std::string& repoId() const noexcept { return repoId_; }
    // The listing entry of a file of the repository; nothing when the hub does not hold it.
    std::optional<RepoFile> find(const std::string& path) const;
    // Fetches a file `find` gave into `to`.
    void fetch(const RepoFile& file, const std::filesystem::path& to) const;

private:
    std::string repoId_;
};

}  // namespace rarivoredu
