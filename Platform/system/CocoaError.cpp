#include "Platform/system/CocoaError.h"

#include <cerrno>

namespace platform {

NSError CocoaError::fromSystemError(std::error_code ec, const std::string& what, bool writing) {
    Code code = writing ? fileWriteUnknown : fileReadUnknown;
    switch (ec.value()) {
        case ENOENT:
        case ENOTDIR: code = fileNoSuchFile; break;
        case EACCES:
        case EPERM:
        case EROFS: code = writing ? fileWriteNoPermission : fileReadNoPermission; break;
        case EEXIST:
        case ENOTEMPTY: code = writing ? fileWriteFileExists : fileReadUnknown; break;
        case ENOSPC:
        case EDQUOT: code = fileWriteOutOfSpace; break;
        default: break;
    }
    return make(code, what + ": " + ec.message());
}

}  // namespace platform
