#include "rarivoredu/Models.h"

#include "RarivOredu/shared/ModelStore.h"

namespace rarivoredu::api {

std::filesystem::path Models::directory() { return ModelStore::modelsFolder(); }

std::filesystem::path Models::synthesisDirectory() { return ModelStore::synthesisCacheFolder(); }

}  // namespace rarivoredu::api
