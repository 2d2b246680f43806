#include "Parloquin/services/ModelFolder.h"

#include "RarivOredu/shared/ModelStore.h"

namespace parloquin {

std::filesystem::path ModelFolder::path() { return rarivoredu::ModelStore::libraryFolder(); }

}  // namespace parloquin
