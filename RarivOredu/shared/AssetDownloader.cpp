#include "RarivOredu/shared/AssetDownloader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "Platform/system/CocoaError.h"
#include "Platform/system/FileManager.h"

namespace rarivoredu {
namespace fs = std::filesystem;
using platform::CocoaError;
using platform::FileManager;

namespace {

bool isSuccess(int statusCode) { return statusCode >= 200 && statusCode <= 299; }

platform::NSError writeError(int error, const fs::path& destination) {
    return CocoaError::fromSystemError(std::error_code(error, std::generic_category()),
                                       "Could not write " + destination.string(), true);
}

}  // namespace

AssetDownloader::Error::Error(std::string assetDescription, int statusCode)
    : assetDescription_(std::move(assetDescription)),
      statusCode_(statusCode),
      text_("Unexpected response (status " + std::to_string(statusCode_) + ") while downloading " + assetDescription_) {}

void AssetDownloader::writeDataAtomically(const Data& data, const fs::path& destination) {
    std::string pattern = (destination.parent_path() / ("." + destination.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) throw writeError(errno, destination);
    const fs::path temporary = pattern;
    auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw writeError(error, destination);
    };
    const std::uint8_t* bytes = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, bytes, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        bytes += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::fchmod(fd, 0644) != 0 || ::fsync(fd) != 0) fail(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw writeError(error, destination);
    }
    if (::rename(temporary.c_str(), destination.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw writeError(error, destination);
    }
}

void AssetDownloader::moveReplacingItem(const fs::path& temporary, const fs::path& destination) {
    if (FileManager::fileExists(destination)) FileManager::removeItem(destination);
    FileManager::moveItem(temporary, destination);
}

void AssetDownloader::ensure(const Descriptor& descriptor, const platform::URLSession& session,
                             const AppLogger& logger) {
    const fs::path& destination = descriptor.destinationURL;
    if (descriptor.skipIfExists && FileManager::fileExists(destination)) return;
    FileManager::createDirectory(destination.parent_path());
    logger.info("Downloading " + descriptor.description + "…");

    const platform::URLRequest request{descriptor.remoteURL};
    if (descriptor.transferMode.kind == TransferMode::Kind::data) {
        auto [data, response] = session.data(request);
        // An empty answer is not the asset: storing it would keep it for good.
        if (!isSuccess(response.statusCode) || data.empty()) {
            throw Error::invalidResponse(descriptor.description, response.statusCode);
        }
        descriptor.transferMode.writer(data, destination);
    } else {
        auto [temporary, response] = session.download(request, destination.parent_path());
        struct Cleanup {
            fs::path path;
            ~Cleanup() {
                std::error_code ec;
                fs::remove(path, ec);
            }
        } cleanup{temporary};
        if (!isSuccess(response.statusCode) || FileManager::fileSize(temporary).value_or(0) == 0) {
            throw Error::invalidResponse(descriptor.description, response.statusCode);
        }
        descriptor.transferMode.mover(temporary, destination);
    }
    logger.info("Cached " + descriptor.description + " at " + destination.string());
}

AssetDownloader::Data AssetDownloader::fetchData(const std::string& url, const std::string& description,
                                                 const platform::URLSession& session, const AppLogger& logger) {
    logger.debug("Fetching " + description + " from " + url);
    auto [data, response] = session.data(platform::URLRequest{url});
    if (!isSuccess(response.statusCode)) throw Error::invalidResponse(description, response.statusCode);
    return std::move(data);
}

}  // namespace rarivoredu
