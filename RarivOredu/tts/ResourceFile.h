#pragma once

#include <filesystem>
#include <string>

namespace rarivoredu {

// The whole content of a resource file. Throws platform::NSError (domain "NSCocoaErrorDomain")
// when it cannot be read.
std::string readResourceFile(const std::filesystem::path& path);

}  // namespace rarivoredu
