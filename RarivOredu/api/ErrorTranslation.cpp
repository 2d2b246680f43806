#include "RarivOredu/api/ErrorTranslation.h"

#include <exception>
#include <system_error>

namespace rarivoredu::api {

void ErrorTranslation::rethrow(const std::string& context) {
    try {
        throw;
    } catch (const Error&) {
        throw;
    } catch (const std::exception& error) {
        throw Error(Error::Kind::failed, context + ": " + error.what());
    } catch (...) {
        throw Error(Error::Kind::failed, context);
    }
}

void ErrorTranslation::requireFile(const std::filesystem::path& file) {
    std::error_code error;
    if (std::filesystem::is_directory(file, error)) {
        throw Error(Error::Kind::fileNotFound, file.string() + " is a folder, not a file");
    }
    if (!std::filesystem::exists(file, error)) {
        throw Error(Error::Kind::fileNotFound, "No such file: " + file.string());
    }
}

}  // namespace rarivoredu::api
