#include "Parloquin/services/ModelFolder.h"

#include "Platform/system/FileManager.h"

namespace parloquin {

std::filesystem::path ModelFolder::path() { return platform::FileManager::applicationSupportDirectory() / "RarivOredu"; }

}  // namespace parloquin
