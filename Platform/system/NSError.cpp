#include "Platform/system/NSError.h"

#include <utility>

namespace platform {

NSError::NSError(std::string domain, long code, std::string localizedDescription)
    : domain_(std::move(domain)), code_(code), description_(std::move(localizedDescription)) {}

}  // namespace platform
