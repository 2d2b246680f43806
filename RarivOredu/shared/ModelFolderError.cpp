#include "RarivOredu/shared/ModelFolderError.h"

namespace rarivoredu {

ModelFolderError::ModelFolderError(Kind kind, std::filesystem::path folder, std::string cause, std::string fetchError)
    : kind_(kind), folder_(std::move(folder)), cause_(std::move(cause)), fetchError_(std::move(fetchError)) {
    description_ = cause_ + " — downloading a fresh copy failed: " + fetchError_ + " The folder " + folder_.string() +
                   " was left as it was.";
}

}  // namespace rarivoredu
