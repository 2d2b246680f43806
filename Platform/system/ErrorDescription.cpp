#include "Platform/system/ErrorDescription.h"

namespace platform {

std::string errorDescription(const std::exception_ptr& error, const std::string& fallback) {
    if (!error) return fallback;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return fallback;
    }
}

}  // namespace platform
