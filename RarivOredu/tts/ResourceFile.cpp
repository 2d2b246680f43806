#include "RarivOredu/tts/ResourceFile.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <system_error>

#include "Platform/system/CocoaError.h"

namespace rarivoredu {

std::string readResourceFile(const std::filesystem::path& path) {
    const auto failed = [&path](int error) {
        return platform::CocoaError::fromSystemError(std::error_code(error, std::generic_category()),
                                                     "Could not read " + path.string(), false);
    };
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) throw failed(EISDIR);
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) throw failed(errno != 0 ? errno : EIO);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw failed(EIO);
    return content;
}

}  // namespace rarivoredu
