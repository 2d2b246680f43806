#include "RarivOredu/asr/AsrModelVersion.h"

namespace rarivoredu {

Repo repo(AsrModelVersion version) noexcept {
    return version == AsrModelVersion::v2 ? Repo::parakeetV2 : Repo::parakeet;
}

std::string_view folderName(AsrModelVersion version) noexcept { return repo(version).folderName(); }

}  // namespace rarivoredu
