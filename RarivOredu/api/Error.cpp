#include "rarivoredu/Error.h"

namespace rarivoredu::api {

Error::Error(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}

}  // namespace rarivoredu::api
