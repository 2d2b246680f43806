#pragma once

#include <filesystem>
#include <functional>

namespace rarivoredu {

// Where a repository's models come from when the hub holds the public upstream model (a
// checkpoint in its authors' format) rather than bundles of ours. The engine that owns the
// repository hands its importer to the download it asks for (RepoMirror::downloadRepo,
// ModelFolderLoader::loadModels, AsrModels::download), which asks it first and falls back to the
// repository's own bundle listing when it declines; no importer means the bundles alone.
struct UpstreamImport {
    UpstreamImport() = delete;

    // Fills `repoFolder` from the upstream source: fetches what it needs, converts it and puts the
    // folder in place whole (nothing half-written is left on failure). Returns false, having
    // changed nothing, when the hub does not hold the upstream source; throws when fetching or
    // converting fails. Called with the repository's RepoLock held.
    using Importer = std::function<bool(const std::filesystem::path& repoFolder)>;
};

}  // namespace rarivoredu
