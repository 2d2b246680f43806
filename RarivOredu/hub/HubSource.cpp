#include "RarivOredu/hub/HubSource.h"

#include "RarivOredu/hub/HubListing.h"
#include "RarivOredu/hub/VerifiedDownload.h"

namespace rarivoredu {

std::optional<RepoFile> HubSource::find(const std::string& path) const { return HubListing::findRepoFile(repoId_, path); }

void HubSource::fetch(const RepoFile& file, const std::filesystem::path& to) const {
    VerifiedDownload::downloadListedFile(repoId_, file, to);
}

}  // namespace rarivoredu
