#include "RarivOredu/shared/AssetDownloader.h"

#include <string_view>
#include <system_error>

#include "Platform/system/AtomicFileWriter.h"
#include "Platform/system/FileManager.h"

namespace rarivoredu {
namespace fs = std::filesystem;
using platform::FileManager;

namespace {

bool isSuccess(int statusCode) { return statusCode >= 200 && statusCode <= 299; }

}  // namespace

AssetDownloader::Error::Error(std::string assetDescription, int statusCode)
    : assetDescription_(std::move(assetDescription)),
      statusCode_(statusCode),
      text_("Unexpected response (status " + std::to_string(statusCode_) + ") while downloading " + assetDescription_) {}

void AssetDownloader::writeDataAtomically(const Data& data, const fs::path& destination) {
    platform::AtomicFileWriter().replace(
        destination, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
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
