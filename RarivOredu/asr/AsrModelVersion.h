#pragma once

#include <string_view>

#include "RarivOredu/shared/Repo.h"

namespace rarivoredu {

// The TDT model versions.
enum class AsrModelVersion { v2, v3 };

// The hub repository of a version: parakeetV2 for v2, parakeet for v3.
Repo repo(AsrModelVersion version) noexcept;
// The version's folder name: "parakeet-tdt-0.6b-v2-coreml" or "parakeet-tdt-0.6b-v3-coreml".
std::string_view folderName(AsrModelVersion version) noexcept;

}  // namespace rarivoredu
