#include "rarivoredu/Models.h"

#include "Platform/system/FileManager.h"

namespace rarivoredu::api {

std::filesystem::path Models::directory() {
    return platform::FileManager::applicationSupportDirectory() / "RarivOredu" / "Models";
}

std::filesystem::path Models::synthesisDirectory() { return platform::FileManager::cachesDirectory() / "rarivoredu"; }

}  // namespace rarivoredu::api
