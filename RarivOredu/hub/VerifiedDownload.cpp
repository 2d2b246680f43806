#include "RarivOredu/hub/VerifiedDownload.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "Platform/net/URLError.h"
#include "Platform/system/CancellationToken.h"
#include "Platform/system/CocoaError.h"
#include "Platform/system/FileManager.h"
#include "Platform/system/HostFacts.h"
#include "Platform/system/SHA256.h"
#include "RarivOredu/hub/HubEndpoint.h"
#include "RarivOredu/shared/ModelSourceError.h"

namespace rarivoredu {
namespace fs = std::filesystem;
using platform::CocoaError;
using platform::FileManager;
using platform::URLError;

namespace {

constexpr std::int64_t progressAbove = 100'000'000;

const AppLogger& logger() { return HubEndpoint::logger(); }

bool isCancellation(const platform::NSError& error) {
    return (error.domain() == URLError::domain && error.code() == URLError::cancelled) ||
           (error.domain() == CocoaError::domain && error.code() == CocoaError::userCancelled);
}

// Removes a file unless it was installed; failures are ignored.
class RemoveUnlessKept {
public:
    explicit RemoveUnlessKept(fs::path path) : path_(std::move(path)) {}
    ~RemoveUnlessKept() {
        if (!kept_) {
            std::error_code ec;
            fs::remove(path_, ec);
        }
    }
    RemoveUnlessKept(const RemoveUnlessKept&) = delete;
    RemoveUnlessKept& operator=(const RemoveUnlessKept&) = delete;
    void keep() { kept_ = true; }

private:
    fs::path path_;
    bool kept_ = false;
};

// The digest of the file's first `length` bytes, added to `hash`.
void hashPrefix(const fs::path& file, std::uint64_t length, platform::SHA256& hash) {
    if (length == 0) return;
    std::FILE* stream = std::fopen(file.c_str(), "rb");
    if (stream == nullptr) throw CocoaError::make(CocoaError::fileReadUnknown, "Cannot read " + file.string());
    std::vector<char> buffer(1 << 20);
    while (length > 0) {
        platform::CancellationToken::checkCancellation();
        const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(length, buffer.size()));
        const std::size_t got = std::fread(buffer.data(), 1, wanted, stream);
        if (got == 0) break;
        hash.update(buffer.data(), got);
        length -= got;
    }
    std::fclose(stream);
}

}  // namespace

bool VerifiedDownload::isComplete(const fs::path& destination, std::int64_t expectedSize) {
    const auto size = FileManager::fileSize(destination);
    return size && static_cast<std::int64_t>(*size) == expectedSize;
}

fs::path VerifiedDownload::partialPath(const fs::path& destination) {
    fs::path partial = destination;
    partial += ".partial";
    return partial;
}

void VerifiedDownload::install(const fs::path& from, const fs::path& to, const std::string& name) {
    try {
        FileManager::removeItem(to);
    } catch (const platform::NSError&) {
        // Nothing there, or it cannot go: the move below says what is wrong.
    }
    try {
        FileManager::moveItem(from, to);
        return;
    } catch (const platform::NSError& moveError) {
        logger().warning("Move failed for " + name + ", attempting copy: " + moveError.what());
    }
    FileManager::copyItem(from, to);
    std::error_code ec;
    fs::remove(from, ec);
}

void VerifiedDownload::fetchFile(const std::string& url, const fs::path& to, const ProgressHandler& progress,
                                 double timeout, const platform::URLSession::BodyObserver& observe,
                                 std::optional<std::uint64_t> maximumBytes) {
    // The transfer lands beside the target, so that installing it is a rename.
    FileManager::createDirectory(to.parent_path());
    auto [temporary, response] = HubEndpoint::sharedSession().download(
        platform::URLRequest{url, timeout, HubEndpoint::authorizationFor(url), maximumBytes}, to.parent_path(),
        observe);
    RemoveUnlessKept temporaryFile(temporary);
    HubEndpoint::requireStatus200(response, url);
    install(temporary, to, to.filename().string());
    temporaryFile.keep();
    if (progress) progress(1.0);
}

void VerifiedDownload::verifyAndInstall(const fs::path& transfer, const fs::path& destination,
                                        const std::string& path, std::int64_t expectedSize,
                                        const std::optional<std::string>& expectedSHA256,
                                        const std::optional<std::string>& digest, bool continued) {
    // A file of another size or digest is not the file the listing promised: it is never installed.
    auto discard = [&](const std::string& what, const std::string& details) {
        logger().warning("⚠️ Downloaded file " + what + " mismatch for " + details);
        std::error_code ec;
        fs::remove(transfer, ec);
    };
    const auto actual = static_cast<std::int64_t>(FileManager::fileSize(transfer).value_or(0));
    if (actual != expectedSize) {
        const std::string details =
            path + ": got " + std::to_string(actual) + ", expected " + std::to_string(expectedSize);
        discard("size", details);
        throw CocoaError::make(CocoaError::fileReadCorruptFile, "Downloaded file size mismatch for " + details);
    }
    if (expectedSHA256 && digest != expectedSHA256) {
        const std::string details = path + ": got " + digest.value_or("") + ", expected " + *expectedSHA256;
        discard("SHA-256", details);
        // A continued download may have begun on bytes of an older file: the next try starts
        // afresh. A whole transfer of other bytes would only come again.
        if (continued) {
            throw CocoaError::make(CocoaError::fileReadCorruptFile, "Downloaded file SHA-256 mismatch for " + details);
        }
        throw ModelSourceError::corruptDownload(path);
    }
    try {
        install(transfer, destination, path);
    } catch (const platform::NSError& error) {
        logger().error(std::string("Download failed: ") + error.what());
        throw;
    }
    logger().info("Downloaded " + path);
}

bool VerifiedDownload::alreadyDownloaded(const std::string& path, const fs::path& destination,
                                         std::int64_t expectedSize, const ProgressHandler& progress) {
    HubEndpoint::requireSafePath(path);
    FileManager::createDirectory(destination.parent_path());
    if (!isComplete(destination, expectedSize)) return false;
    logger().info("File already downloaded: " + path);
    if (progress) progress(1.0);
    return true;
}

void VerifiedDownload::downloadFile(Repo repo, const std::string& path, const fs::path& destination,
                                    std::int64_t expectedSize, const ProgressHandler& progress, double timeout,
                                    const std::optional<std::string>& expectedSHA256) {
    downloadFile(repo.remotePath(), path, destination, expectedSize, progress, timeout, expectedSHA256);
}

void VerifiedDownload::downloadFile(std::string_view repoId, const std::string& path, const fs::path& destination,
                                    std::int64_t expectedSize, const ProgressHandler& progress, double timeout,
                                    const std::optional<std::string>& expectedSHA256) {
    if (alreadyDownloaded(path, destination, expectedSize, progress)) return;


    // An unfinished earlier transfer is not continued: the file is fetched whole and replaces it.
    fs::path temporary = destination;
    temporary += ".download";

    std::optional<platform::SHA256> hash;
    platform::URLSession::BodyObserver observe;
    if (expectedSHA256) {
        hash.emplace();
        observe = [&hash](const char* bytes, std::size_t length) { hash->update(bytes, length); };
    }
    const auto total = static_cast<std::uint64_t>(std::max<std::int64_t>(expectedSize, 0));
    try {
        fetchFile(HubEndpoint::resolveURL(repoId, path), temporary, progress, timeout, observe, total);
    } catch (const platform::NSError& error) {
        if (isCancellation(error)) {
            logger().info("Download cancelled: " + path);
        } else {
            logger().error(std::string("Download failed: ") + error.what());
        }
        throw;
    } catch (const std::exception& error) {
        logger().error(std::string("Download failed: ") + error.what());
        throw;
    }
    std::optional<std::string> digest;
    if (hash) digest = hash->finalizeHex();
    verifyAndInstall(temporary, destination, path, expectedSize, expectedSHA256, digest, false);
}

void VerifiedDownload::downloadListedFile(std::string_view repoId, const RepoFile& file, const fs::path& destination) {
    const std::int64_t size = file.contentSize();
    const auto digest = file.sha256Digest();
    if (!digest) logger().warning("The hub lists no SHA-256 for " + std::string(repoId) + "/" + file.path);
    downloadFile(repoId, file.path, destination, size, progressLogger(file.path, size), defaultTimeout, digest);
}

void VerifiedDownload::resumableDownload(std::string_view repoId, const std::string& path, const fs::path& destination,
                                         std::int64_t expectedSize, const std::optional<std::string>& expectedSHA256,
                                         const ProgressHandler& progress, double timeout) {
    if (alreadyDownloaded(path, destination, expectedSize, progress)) return;
    const fs::path partial = partialPath(destination);
    const auto total = static_cast<std::uint64_t>(std::max<std::int64_t>(expectedSize, 0));
    std::uint64_t here = FileManager::fileSize(partial).value_or(0);
    if (here > total) {
        logger().warning("The unfinished download of " + path + " is longer than the file: starting again");
        FileManager::removeItem(partial);
        here = 0;
    }

    // What is here shows at once: reading it again for the digest takes a while.
    if (progress && here > 0 && total > 0) progress(static_cast<double>(here) / static_cast<double>(total));
    std::optional<platform::SHA256> hash;
    if (expectedSHA256) {
        hash.emplace();
        hashPrefix(partial, here, *hash);
    }
    // Whether bytes of an earlier transfer are part of the file.
    bool continued = here > 0;
    if (here < total) {
        if (here > 0) {
            logger().info("Continuing the download of " + path + " at " + platform::formatByteCount(here, true) +
                          " of " + platform::formatByteCount(total, true));
        }
        const std::string url = HubEndpoint::resolveURL(repoId, path);
        std::uint64_t stored = here;
        bool started = false;
        auto start = [&](std::uint64_t offset) {
            started = true;
            stored = offset;
            continued = offset > 0;
            // The server sends the whole file: the digest starts again with it.
            if (offset == 0 && hash) hash->finalizeHex();
        };
        auto observe = [&](const char* bytes, std::size_t length) {
            if (hash) hash->update(bytes, length);
            stored += length;
            if (progress && total > 0) progress(static_cast<double>(stored) / static_cast<double>(total));
        };
        platform::HTTPURLResponse response;
        try {
            // Never more than the whole file, whether the server continues it or sends it anew.
            response = HubEndpoint::sharedSession().resumeDownload(
                platform::URLRequest{url, timeout, HubEndpoint::authorizationFor(url), total}, partial, start, observe);
        } catch (const platform::NSError& error) {
            if (isCancellation(error)) {
                logger().info("Download cancelled: " + path + " (kept for later)");
            } else {
                logger().error(std::string("Download failed: ") + error.what() + " (kept for later)");
            }
            throw;
        }
        // A 206 whose range is not the one asked for was not stored.
        if (!((response.statusCode == 200 || response.statusCode == 206) && started)) {
            throw URLError::make(URLError::badServerResponse,
                                 "status " + std::to_string(response.statusCode) + " from " + url);
        }
    }

    const std::uint64_t actual = FileManager::fileSize(partial).value_or(0);
    if (actual < total) {
        // The server ended the body early: what came is kept and continued next time.
        throw URLError::make(URLError::networkConnectionLost, path + ": " + std::to_string(actual) + " of " +
                                                                  std::to_string(total) + " bytes arrived");
    }
    std::optional<std::string> digest;
    if (hash) digest = hash->finalizeHex();
    verifyAndInstall(partial, destination, path, static_cast<std::int64_t>(total), expectedSHA256, digest,
                     continued);
    if (progress) progress(1.0);
}

VerifiedDownload::ProgressHandler VerifiedDownload::progressLogger(const std::string& path, std::int64_t expectedSize) {
    if (expectedSize <= progressAbove) return {};
    std::string displayName;
    std::size_t end = path.size();
    while (end > 0 && path[end - 1] == '/') --end;
    if (end > 0) {
        const std::size_t slash = path.rfind('/', end - 1);
        const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
        displayName = path.substr(start, end - start);
    }
    auto lastLogged = std::make_shared<int>(0);
    return [displayName, lastLogged](double fraction) {
        const int percentage = static_cast<int>(fraction * 100.0);
        if (percentage < *lastLogged + 10) return;
        *lastLogged = percentage;
        logger().info("Progress: " + std::to_string(percentage) + "% of " + displayName);
    };
}

}  // namespace rarivoredu
