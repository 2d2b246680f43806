#include "RarivOredu/hub/PinnedSource.h"

#include "Platform/system/CocoaError.h"
#include "Platform/system/SHA256.h"
#include "RarivOredu/hub/VerifiedDownload.h"

namespace rarivoredu {

void PinnedSource::fetch(const std::filesystem::path& to, const AppLogger& logger) const {
    platform::SHA256 hash;
    VerifiedDownload::fetchFile(url, to, {}, VerifiedDownload::defaultTimeout,
                                [&hash](const char* bytes, std::size_t length) { hash.update(bytes, length); },
                                maximumBytes);
    requireDigest(hash.finalizeHex(), sha256, "The file at " + url, title, logger);
}

void PinnedSource::requireDigest(const std::string& digest, const std::string& expected, const std::string& what,
                                 const std::string& title, const AppLogger& logger) {
    if (digest == expected) return;
    const std::string description = what + " is not " + title + ": SHA-256 " + digest + ", expected " + expected;
    logger.error(description);
    throw platform::CocoaError::make(platform::CocoaError::fileReadCorruptFile, description);
}

}  // namespace rarivoredu
