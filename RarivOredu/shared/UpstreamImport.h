#pragma once

#include <filesystem>
#include <functional>
#include <optional>

#include "RarivOredu/shared/Repo.h"

namespace rarivoredu {

// Where a repository's models come from when the hub holds the public upstream model (a
// checkpoint in its authors' format) rather than bundles of ours. The engine that owns the
// repository registers an importer before its first load; RepoMirror::downloadRepo asks it
// first and falls back to the repository's own bundle listing when it declines.
class UpstreamImport {
public:
    UpstreamImport() = delete;

    // Fills `repoFolder` from the upstream source: fetches what it needs, converts it and puts the
    // folder in place whole (nothing half-written is left on failure). Returns false, having
    // changed nothing, when the hub does not hold the upstream source; throws when fetching or
    // converting fails. Called with the repository's RepoLock held.
    using Importer = std::function<bool(const std::filesystem::path& repoFolder)>;

    // Replaces any importer registered for the repository before; an empty one removes it.
    static void registerImporter(Repo repo, Importer importer);
    static std::optional<Importer> importer(Repo repo);
};

}  // namespace rarivoredu
