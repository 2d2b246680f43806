#include "RarivOredu/shared/ModelStorageError.h"

#include "Platform/system/HostFacts.h"

namespace rarivoredu {

ModelStorageError::ModelStorageError(Kind kind, std::filesystem::path folder, std::uint64_t needed,
                                     std::uint64_t available)
    : kind_(kind), folder_(std::move(folder)), needed_(needed), available_(available) {
    description_ = "Not enough free space in " + folder_.string() + " for the speech models: " +
                   platform::formatByteCount(needed_, false) + " needed, " +
                   platform::formatByteCount(available_, false) + " free";
}

}  // namespace rarivoredu
