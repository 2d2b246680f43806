#include "RarivOredu/shared/DownloadUtils.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "Platform/ml/MLModelBundle.h"
#include "Platform/net/URLComponents.h"
#include "Platform/net/URLError.h"
#include "Platform/system/CancellationToken.h"
#include "Platform/system/CocoaError.h"
#include "Platform/system/ErrorDescription.h"
#include "Platform/system/FileManager.h"
#include "Platform/system/HostFacts.h"
#include "Platform/system/SHA256.h"
#include "RarivOredu/shared/ModelFolderError.h"
#include "RarivOredu/shared/ModelSourceError.h"
#include "RarivOredu/shared/ModelNames.h"
#include "RarivOredu/shared/RepoLock.h"
#include "RarivOredu/shared/SystemInfo.h"
#include "RarivOredu/shared/SystemInfoReporter.h"
#include "RarivOredu/shared/UpstreamImport.h"

namespace rarivoredu {
namespace fs = std::filesystem;
using platform::CocoaError;
using platform::FileManager;
using platform::URLError;

namespace {

constexpr const char* defaultHub = "https://huggingface.co";
constexpr double listingTimeout = 30;
constexpr std::int64_t announceAtInfoAbove = 10'000'000;
constexpr std::int64_t progressAbove = 100'000'000;

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A repository path we are willing to put into a URL and below a local folder.
bool isSafeRepoPath(std::string_view path) {
    if (path.empty() || path.front() == '/') return false;
    for (const char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    }
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view segment = path.substr(start, end - start);
        if (segment.empty() || segment == "." || segment == "..") return false;
        start = end + 1;
    }
    return true;
}

// Whether a listing entry may stand in the listing of `folder`.
bool belongsTo(std::string_view entryPath, std::string_view folder) {
    if (!isSafeRepoPath(entryPath)) return false;
    if (folder.empty()) return true;
    return entryPath.size() > folder.size() + 1 && entryPath.compare(0, folder.size(), folder) == 0 &&
           entryPath[folder.size()] == '/';
}

void requireSafePath(const std::string& path) {
    if (!isSafeRepoPath(path)) {
        throw URLError::make(URLError::badURL, "'" + path + "' is not a relative path inside the repository");
    }
}

void requireStatus200(const platform::HTTPURLResponse& response, const std::string& url) {
    if (response.statusCode != 200) {
        throw URLError::make(URLError::badServerResponse,
                             "status " + std::to_string(response.statusCode) + " from " + url);
    }
}

std::string pathText(const fs::path& path) { return path.string(); }

// Access tokens by repository id.
std::mutex tokenMutex;
std::map<std::string, std::string, std::less<>>& accessTokens() {
    static std::map<std::string, std::string, std::less<>> tokens;
    return tokens;
}

// The Authorization value for a hub URL: the token of the repository the URL points into.
std::string authorizationFor(const std::string& url) {
    std::lock_guard lock(tokenMutex);
    if (accessTokens().empty()) return {};
    std::string base;
    try {
        base = DownloadUtils::hubBaseURL();
    } catch (const platform::NSError&) {
        return {};
    }
    for (const auto& [repoId, token] : accessTokens()) {
        for (const std::string& prefix : {base + "/" + repoId + "/", base + "/api/models/" + repoId + "/"}) {
            if (url.compare(0, prefix.size(), prefix) == 0) return "Bearer " + token;
        }
    }
    return {};
}

std::string formatMilliseconds(double milliseconds) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, milliseconds, std::chars_format::fixed, 2);
    return std::string(buffer, result.ptr);
}

std::string arrayText(const std::vector<std::string>& names) {
    std::string text = "[";
    for (std::size_t i = 0; i < names.size(); ++i) text += (i ? ", \"" : "\"") + names[i] + "\"";
    return text + "]";
}

bool isCancellation(const platform::NSError& error) {
    return (error.domain() == URLError::domain && error.code() == URLError::cancelled) ||
           (error.domain() == CocoaError::domain && error.code() == CocoaError::userCancelled);
}

// Whether `destination` already holds a file of the expected size.
bool isComplete(const fs::path& destination, std::int64_t expectedSize) {
    const auto size = FileManager::fileSize(destination);
    return size && static_cast<std::int64_t>(*size) == expectedSize;
}

// Repository folders being replaced by refetchRepo on this thread: loads inside it get one try.
std::set<fs::path>& foldersBeingRefetched() {
    thread_local std::set<fs::path> folders;
    return folders;
}

class RefetchMark {
public:
    explicit RefetchMark(const fs::path& folder) : folder_(folder.lexically_normal()) {
        foldersBeingRefetched().insert(folder_);
    }
    ~RefetchMark() { foldersBeingRefetched().erase(folder_); }
    RefetchMark(const RefetchMark&) = delete;
    RefetchMark& operator=(const RefetchMark&) = delete;

private:
    fs::path folder_;
};

// Removes a folder; a failure is logged, as what it leaves can only be found, not trusted.
void removeFolder(const fs::path& folder) {
    std::error_code ec;
    fs::remove_all(folder, ec);
    if (ec) DownloadUtils::logger().error("Could not remove " + folder.string() + ": " + ec.message());
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
    void keep() { kept_ = true; }

private:
    fs::path path_;
    bool kept_ = false;
};

std::optional<std::int64_t> optionalInt64(const nlohmann::json& object, const char* key, bool required) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        if (required) throw CocoaError::make(CocoaError::coderReadCorrupt, std::string("the key \"") + key + "\" is missing");
        return std::nullopt;
    }
    if (it->is_number_integer() && !(it->is_number_unsigned() && it->get<std::uint64_t>() > INT64_MAX)) {
        return it->get<std::int64_t>();
    }
    throw CocoaError::make(CocoaError::coderReadCorrupt, std::string("the value of \"") + key + "\" is not a 64-bit integer");
}

std::optional<std::string> optionalString(const nlohmann::json& object, const char* key, bool required) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        if (required) throw CocoaError::make(CocoaError::coderReadCorrupt, std::string("the key \"") + key + "\" is missing");
        return std::nullopt;
    }
    if (!it->is_string()) {
        throw CocoaError::make(CocoaError::coderReadCorrupt, std::string("the value of \"") + key + "\" is not a string");
    }
    return it->get<std::string>();
}

// Adds the proxy named by `value` to the dictionary; false when it names none.
bool addProxy(const char* value, const std::string& label, platform::ConnectionProxyDictionary& dictionary) {
    const auto components = platform::URLComponents::parse(value);
    if (!components || components->host.empty() || !components->port) {
        DownloadUtils::logger().warning("Invalid " + label + " proxy URL: " + value);
        return false;
    }
    if (label == "HTTPS") {
        dictionary.httpsEnable = true;
        dictionary.httpsProxy = components->host;
        dictionary.httpsPort = *components->port;
    } else {
        dictionary.httpEnable = true;
        dictionary.httpProxy = components->host;
        dictionary.httpPort = *components->port;
    }
    DownloadUtils::logger().info("Configured " + label + " proxy: " + components->host + ":" +
                                 std::to_string(*components->port));
    return true;
}

}  // namespace

// MARK: - Listing entries

std::vector<DownloadUtils::RepoFile> DownloadUtils::RepoFile::decodeListing(std::string_view json) {
    try {
        const auto document = nlohmann::json::parse(json.begin(), json.end());
        if (!document.is_array()) throw CocoaError::make(CocoaError::coderReadCorrupt, "the listing is not an array");
        std::vector<RepoFile> files;
        files.reserve(document.size());
        for (const auto& item : document) {
            if (!item.is_object()) throw CocoaError::make(CocoaError::coderReadCorrupt, "an entry is not an object");
            RepoFile file;
            file.type = *optionalString(item, "type", true);
            file.path = *optionalString(item, "path", true);
            file.size = *optionalInt64(item, "size", true);
            if (const auto lfs = item.find("lfs"); lfs != item.end() && !lfs->is_null()) {
                if (!lfs->is_object()) throw CocoaError::make(CocoaError::coderReadCorrupt, "\"lfs\" is not an object");
                LFSInfo info;
                info.size = *optionalInt64(*lfs, "size", true);
                info.sha256 = optionalString(*lfs, "sha256", false);
                info.oid = optionalString(*lfs, "oid", false);
                info.pointerSize = optionalInt64(*lfs, "pointer_size", false);
                file.lfs = info;
            }
            files.push_back(std::move(file));
        }
        return files;
    } catch (const nlohmann::json::exception& e) {
        throw CocoaError::make(CocoaError::coderReadCorrupt,
                               std::string("The hub listing is not valid JSON: ") + e.what());
    } catch (const platform::NSError& e) {
        throw CocoaError::make(CocoaError::coderReadCorrupt,
                               "The hub listing could not be read: " + e.localizedDescription());
    }
}

std::string DownloadUtils::RepoFile::encodeListing(const std::vector<RepoFile>& files) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const auto& file : files) {
        nlohmann::ordered_json item{{"type", file.type}, {"path", file.path}, {"size", file.size}};
        if (file.lfs) {
            nlohmann::ordered_json lfs{{"size", file.lfs->size}};
            if (file.lfs->sha256) lfs["sha256"] = *file.lfs->sha256;
            if (file.lfs->oid) lfs["oid"] = *file.lfs->oid;
            if (file.lfs->pointerSize) lfs["pointer_size"] = *file.lfs->pointerSize;
            item["lfs"] = lfs;
        }
        array.push_back(item);
    }
    return array.dump();
}

std::optional<std::string> DownloadUtils::RepoFile::sha256Digest() const {
    if (!lfs) return std::nullopt;
    for (const auto* candidate : {&lfs->sha256, &lfs->oid}) {
        if (!*candidate || (*candidate)->size() != 64) continue;
        std::string digest = **candidate;
        if (!std::all_of(digest.begin(), digest.end(), [](unsigned char c) { return std::isxdigit(c) != 0; })) continue;
        std::transform(digest.begin(), digest.end(), digest.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return digest;
    }
    return std::nullopt;
}

// MARK: - Session and addresses

const AppLogger& DownloadUtils::logger() {
    static const AppLogger instance("DownloadUtils");
    return instance;
}

std::optional<platform::ConnectionProxyDictionary> DownloadUtils::proxyConfiguration() {
    platform::ConnectionProxyDictionary dictionary;
    bool configured = false;
    if (const char* value = std::getenv("https_proxy")) configured |= addProxy(value, "HTTPS", dictionary);
    if (const char* value = std::getenv("http_proxy")) configured |= addProxy(value, "HTTP", dictionary);
    if (!configured) return std::nullopt;
    return dictionary;
}

platform::URLSession& DownloadUtils::sharedSession() {
    static platform::URLSession session(platform::URLSessionConfiguration{proxyConfiguration()});
    return session;
}

namespace {

std::string configuredHub() {
    const char* configured = std::getenv("RARIVOREDU_HUB_URL");
    return configured != nullptr && *configured != '\0' ? configured : defaultHub;
}

std::string withoutTrailingSlashes(std::string address) {
    while (!address.empty() && address.back() == '/') address.pop_back();
    return address;
}

}  // namespace

std::string DownloadUtils::hubBaseURL() {
    const std::string base = configuredHub();
    const auto components = platform::URLComponents::parse(base);
    if (!components || (components->scheme != "http" && components->scheme != "https") ||
        base.find_first_of("?#") != std::string::npos) {
        throw URLError::make(URLError::badURL, "RARIVOREDU_HUB_URL must be an http or https address, not '" + base + "'");
    }
    return withoutTrailingSlashes(base);
}

std::string DownloadUtils::configuredHubAddress() { return withoutTrailingSlashes(configuredHub()); }

void DownloadUtils::setAccessToken(std::string_view repoId, std::string token) {
    std::lock_guard lock(tokenMutex);
    if (token.empty()) {
        if (const auto found = accessTokens().find(repoId); found != accessTokens().end()) accessTokens().erase(found);
    } else {
        accessTokens().insert_or_assign(std::string(repoId), std::move(token));
    }
}

std::string DownloadUtils::resolveURL(Repo repo, const std::string& path) { return resolveURL(repo.remotePath(), path); }

std::string DownloadUtils::resolveURL(std::string_view repoId, const std::string& path) {
    requireSafePath(path);
    return hubBaseURL() + "/" + std::string(repoId) + "/resolve/main/" + platform::URLComponents::percentEncodePath(path);
}

// MARK: - Hub operations

std::vector<DownloadUtils::RepoFile> DownloadUtils::listRepoFiles(Repo repo, const std::string& path) {
    return listRepoFiles(repo.remotePath(), path);
}

std::vector<DownloadUtils::RepoFile> DownloadUtils::listRepoFiles(std::string_view repoId, const std::string& path) {
    auto files = listing(repoId, path, {});
    return std::move(*files);
}

std::optional<std::vector<DownloadUtils::RepoFile>> DownloadUtils::listRepoFilesIfPresent(std::string_view repoId,
                                                                                         const std::string& path) {
    return listing(repoId, path, {404, 401});
}

std::optional<DownloadUtils::RepoFile> DownloadUtils::findRepoFile(std::string_view repoId, const std::string& path) {
    const auto slash = path.rfind('/');
    const auto files = listing(repoId, slash == std::string::npos ? std::string() : path.substr(0, slash), {404});
    if (!files) return std::nullopt;
    for (const auto& file : *files) {
        if (file.type == "file" && file.path == path) return file;
    }
    return std::nullopt;
}

void DownloadUtils::downloadListedFile(std::string_view repoId, const RepoFile& file, const fs::path& destination) {
    const std::int64_t size = file.lfs ? file.lfs->size : file.size;
    const auto digest = file.sha256Digest();
    if (!digest) logger().warning("The hub lists no SHA-256 for " + std::string(repoId) + "/" + file.path);
    downloadFile(repoId, file.path, destination, size, progressLogger(file.path, size),
                 DownloadConfig::defaultConfig().timeout, digest);
}

std::optional<std::vector<DownloadUtils::RepoFile>> DownloadUtils::listing(std::string_view repoId,
                                                                          const std::string& path,
                                                                          std::initializer_list<int> missingStatuses) {
    if (!path.empty()) requireSafePath(path);
    const std::string url = hubBaseURL() + "/api/models/" + std::string(repoId) + "/tree/main" +
                            (path.empty() ? "" : "/" + platform::URLComponents::percentEncodePath(path));
    auto [body, response] = sharedSession().data(platform::URLRequest{url, listingTimeout, authorizationFor(url)});
    for (const int missing : missingStatuses) {
        if (response.statusCode == missing) return std::nullopt;
    }
    requireStatus200(response, url);
    auto files = RepoFile::decodeListing(
        std::string_view(reinterpret_cast<const char*>(body.data()), body.size()));
    for (const auto& file : files) {
        if (!belongsTo(file.path, path)) {
            throw URLError::make(URLError::badServerResponse,
                                 "the listing of " + std::string(repoId) + (path.empty() ? "" : "/" + path) +
                                     " holds the path '" + file.path + "', which is not inside it");
        }
    }
    return files;
}

void DownloadUtils::fetchFile(const std::string& url, const fs::path& to, const ProgressHandler& progress,
                              double timeout, const platform::URLSession::BodyObserver& observe,
                              std::optional<std::uint64_t> maximumBytes) {
    // The transfer lands beside the target, so that installing it is a rename.
    FileManager::createDirectory(to.parent_path());
    auto [temporary, response] = sharedSession().download(
        platform::URLRequest{url, timeout, authorizationFor(url), maximumBytes}, to.parent_path(), observe);
    RemoveUnlessKept temporaryFile(temporary);
    requireStatus200(response, url);

    try {
        FileManager::removeItem(to);
    } catch (const platform::NSError&) {
        // Nothing there, or it cannot go: the move below says what is wrong.
    }
    try {
        FileManager::moveItem(temporary, to);
        temporaryFile.keep();
    } catch (const platform::NSError& moveError) {
        logger().warning(std::string("Move failed, attempting copy: ") + moveError.what());
        FileManager::copyItem(temporary, to);
    }
    if (progress) progress(1.0);
}

void DownloadUtils::downloadFile(Repo repo, const std::string& path, const fs::path& destination,
                                 std::int64_t expectedSize, const ProgressHandler& progress, double timeout,
                                 const std::optional<std::string>& expectedSHA256) {
    downloadFile(repo.remotePath(), path, destination, expectedSize, progress, timeout, expectedSHA256);
}

void DownloadUtils::downloadFile(std::string_view repoId, const std::string& path, const fs::path& destination,
                                 std::int64_t expectedSize, const ProgressHandler& progress, double timeout,
                                 const std::optional<std::string>& expectedSHA256) {
    requireSafePath(path);
    FileManager::createDirectory(destination.parent_path());

    if (isComplete(destination, expectedSize)) {
        logger().info("File already downloaded: " + path);
        if (progress) progress(1.0);
        return;
    }

    // An unfinished earlier transfer is not continued: the file is fetched whole and replaces it.
    fs::path temporary = destination;
    temporary += ".download";

    std::optional<platform::SHA256> hash;
    platform::URLSession::BodyObserver observe;
    if (expectedSHA256) {
        hash.emplace();
        observe = [&hash](const char* bytes, std::size_t length) { hash->update(bytes, length); };
    }
    try {
        fetchFile(resolveURL(repoId, path), temporary, progress, timeout, observe,
                  static_cast<std::uint64_t>(std::max<std::int64_t>(expectedSize, 0)));
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

    // A file of another size or digest is not the file the listing promised: it is never installed.
    auto discard = [&](const std::string& what, const std::string& details) {
        logger().warning("⚠️ Downloaded file " + what + " mismatch for " + details);
        std::error_code ec;
        fs::remove(temporary, ec);
    };
    const auto actual = FileManager::fileSize(temporary);
    if (actual && static_cast<std::int64_t>(*actual) != expectedSize) {
        const std::string details =
            path + ": got " + std::to_string(*actual) + ", expected " + std::to_string(expectedSize);
        discard("size", details);
        throw CocoaError::make(CocoaError::fileReadCorruptFile, "Downloaded file size mismatch for " + details);
    }
    if (hash) {
        if (const std::string digest = hash->finalizeHex(); digest != *expectedSHA256) {
            // The whole file came as the hub sends it: asking again brings the same bytes.
            discard("SHA-256", path + ": got " + digest + ", expected " + *expectedSHA256);
            throw ModelSourceError::corruptDownload(path);
        }
    }

    try {
        FileManager::removeItem(destination);
    } catch (const platform::NSError&) {
        // As in fetchFile.
    }
    try {
        FileManager::moveItem(temporary, destination);
    } catch (const platform::NSError& moveError) {
        logger().warning("Move failed for " + path + ", attempting copy: " + moveError.what());
        try {
            FileManager::copyItem(temporary, destination);
        } catch (const platform::NSError& copyError) {
            logger().error(std::string("Download failed: ") + copyError.what());
            throw;
        }
        std::error_code ec;
        fs::remove(temporary, ec);
    }
    logger().info("Downloaded " + path);
}

fs::path DownloadUtils::partialPath(const fs::path& destination) {
    fs::path partial = destination;
    partial += ".partial";
    return partial;
}

namespace {

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

void DownloadUtils::resumableDownload(std::string_view repoId, const std::string& path, const fs::path& destination,
                                      std::int64_t expectedSize, const std::optional<std::string>& expectedSHA256,
                                      const ProgressHandler& progress, double timeout) {
    requireSafePath(path);
    FileManager::createDirectory(destination.parent_path());
    if (isComplete(destination, expectedSize)) {
        logger().info("File already downloaded: " + path);
        if (progress) progress(1.0);
        return;
    }
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
        const std::string url = resolveURL(repoId, path);
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
            response = sharedSession().resumeDownload(platform::URLRequest{url, timeout, authorizationFor(url), total},
                                                      partial, start, observe);
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

    auto refuse = [&](const std::string& what, const std::string& details) {
        logger().warning("⚠️ Downloaded file " + what + " mismatch for " + details);
        std::error_code ec;
        fs::remove(partial, ec);
        throw CocoaError::make(CocoaError::fileReadCorruptFile, "Downloaded file " + what + " mismatch for " + details);
    };
    const std::uint64_t actual = FileManager::fileSize(partial).value_or(0);
    if (actual < total) {
        // The server ended the body early: what came is kept and continued next time.
        throw URLError::make(URLError::networkConnectionLost, path + ": " + std::to_string(actual) + " of " +
                                                                  std::to_string(total) + " bytes arrived");
    }
    if (actual != total) {
        refuse("size", path + ": got " + std::to_string(actual) + ", expected " + std::to_string(total));
    }
    if (hash) {
        if (const std::string digest = hash->finalizeHex(); digest != *expectedSHA256) {
            // A continued download may have begun on bytes of an older file: the next try starts
            // afresh. A whole transfer of other bytes would only come again.
            if (continued) refuse("SHA-256", path + ": got " + digest + ", expected " + *expectedSHA256);
            logger().warning("⚠️ Downloaded file SHA-256 mismatch for " + path + ": got " + digest + ", expected " +
                             *expectedSHA256);
            std::error_code ec;
            fs::remove(partial, ec);
            throw ModelSourceError::corruptDownload(path);
        }
    }
    FileManager::moveItem(partial, destination);
    if (progress) progress(1.0);
    logger().info("Downloaded " + path);
}

// MARK: - Repository download

void DownloadUtils::downloadRepo(Repo repo, const fs::path& directory) {
    const fs::path repoFolder = directory / std::string(repo.folderName());
    const std::string folderName(repo.folderName());
    RepoLock lock(repoFolder);
    // An engine that imports its models from the upstream checkpoint goes first; the hub's
    // listing of bundles of ours serves where the hub holds no upstream source.
    if (const auto importer = UpstreamImport::importer(repo)) {
        if ((*importer)(repoFolder)) return;
        logger().info("The hub holds no upstream source for " + folderName + ": fetching its bundles");
    }
    const auto required = ModelNames::requiredModels(repo);

    const auto entries = listRepoFiles(repo, "");
    std::vector<const RepoFile*> wanted;
    std::set<std::string> missing(required.begin(), required.end());
    for (const auto& entry : entries) {
        if (entry.type == "directory" && endsWith(entry.path, ".mlmodelc")) {
            if (required.count(entry.path) != 0) {
                wanted.push_back(&entry);
                missing.erase(entry.path);
            } else {
                logger().info("Skipping unrequired model: " + entry.path);
            }
        } else if (entry.type == "file" && (endsWith(entry.path, ".json") || endsWith(entry.path, ".txt"))) {
            wanted.push_back(&entry);
        }
    }
    const std::string hub = hubBaseURL();
    for (const auto& name : missing) {
        logger().warning("The hub at " + hub + " lists no " + name + " in " + std::string(repo.remotePath()));
    }

    FileManager::createDirectory(repoFolder);
    // Said once, before the first file that is really fetched: files already complete are kept.
    bool fetched = false;
    auto announceRepo = [&] {
        if (!fetched) logger().info("Downloading " + folderName + " from " + hub + "...");
        fetched = true;
    };
    for (const RepoFile* entry : wanted) {
        if (entry->type == "directory") {
            bool announced = false;
            downloadDirectory(repo, entry->path, repoFolder, [&] {
                if (announced) return;
                announced = true;
                announceRepo();
                logger().info("Downloading required model: " + entry->path);
            });
            continue;
        }
        if (!isComplete(repoFolder / entry->path, entry->size)) {
            announceRepo();
            logger().info("Downloading " + entry->path);
        }
        downloadFile(repo, entry->path, repoFolder / entry->path, entry->size, {},
                     DownloadConfig::defaultConfig().timeout);
    }
    if (!fetched) {
        logger().info("Nothing to download for " + folderName + ": every file the hub lists is here already");
    } else if (missing.empty()) {
        logger().info("Downloaded all required models for " + folderName);
    } else {
        logger().info("Downloaded " + folderName + " without the models the hub does not list");
    }
}

void DownloadUtils::downloadDirectory(Repo repo, const std::string& path, const fs::path& repoFolder) {
    downloadDirectory(repo, path, repoFolder, [] {});
}

void DownloadUtils::downloadDirectory(Repo repo, const std::string& path, const fs::path& repoFolder,
                                      const std::function<void()>& beforeFetch) {
    requireSafePath(path);
    FileManager::createDirectory(repoFolder / path);
    for (const auto& entry : listRepoFiles(repo, path)) {
        if (entry.type == "directory") {
            downloadDirectory(repo, entry.path, repoFolder, beforeFetch);
        } else if (entry.type == "file") {
            const std::int64_t expectedSize = entry.lfs ? entry.lfs->size : entry.size;
            const auto level = expectedSize > announceAtInfoAbove ? AppLogger::Level::info : AppLogger::Level::debug;
            if (!isComplete(repoFolder / entry.path, expectedSize)) {
                beforeFetch();
                if (AppLogger::isEnabled(level)) {
                    const auto bytes = static_cast<std::uint64_t>(std::max<std::int64_t>(expectedSize, 0));
                    logger().log(level,
                                 "Downloading " + entry.path + " (" + platform::formatByteCount(bytes, true) + ")");
                }
            }
            downloadFile(repo, entry.path, repoFolder / entry.path, expectedSize,
                         progressLogger(entry.path, expectedSize), DownloadConfig::defaultConfig().timeout,
                         entry.sha256Digest());
        }
    }
}

DownloadUtils::ProgressHandler DownloadUtils::progressLogger(const std::string& path, std::int64_t expectedSize) {
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

// MARK: - Model loading

std::map<std::string, platform::MLModelPtr> DownloadUtils::loadModels(Repo repo,
                                                                     const std::vector<std::string>& modelNames,
                                                                     const fs::path& directory,
                                                                     platform::MLComputeUnits computeUnits) {
    SystemInfoReporter::shared().logIfNeeded(logger());
    const fs::path repoFolder = directory / std::string(repo.folderName());
    RepoLock lock(repoFolder);
    if (foldersBeingRefetched().count(repoFolder.lexically_normal()) != 0) {
        return loadModelsOnce(repo, modelNames, directory, computeUnits);
    }

    // A folder that is there was placed by the user or by an earlier download: it is only ever set
    // aside. One this call downloads is its own until the models load from it.
    const bool existed = FileManager::fileExists(repoFolder);
    std::exception_ptr firstError;
    try {
        return loadModelsOnce(repo, modelNames, directory, computeUnits);
    } catch (const std::exception& error) {
        if (!existed) removeFolder(repoFolder);
        if (platform::CancellationToken::currentIsCancelled()) throw;
        // What trying again cannot change is said at once, without a second transfer.
        if (ModelSourceError::isPermanent(std::current_exception())) {
            logger().error(std::string("Load failed for good: ") + error.what());
            throw;
        }
        logger().warning(std::string("First load failed: ") + error.what());
        firstError = std::current_exception();
    }

    if (!existed) {
        logger().info("Downloading " + std::string(repo.folderName()) + " once more…");
        try {
            return loadModelsOnce(repo, modelNames, directory, computeUnits);
        } catch (...) {
            removeFolder(repoFolder);
            throw;
        }
    }
    std::map<std::string, platform::MLModelPtr> models;
    refetchRepo(repo, directory, firstError,
                [&] { models = loadModelsOnce(repo, modelNames, directory, computeUnits); });
    return models;
}

void DownloadUtils::refetchRepo(Repo repo, const fs::path& directory, const std::exception_ptr& cause,
                                const std::function<void()>& use) {
    const fs::path repoFolder = directory / std::string(repo.folderName());
    RepoLock lock(repoFolder);
    const std::string causeText = platform::errorDescription(cause);

    std::optional<fs::path> setAside;
    if (FileManager::fileExists(repoFolder)) {
        try {
            setAside = FileManager::moveAside(repoFolder);
        } catch (const platform::NSError& error) {
            // Without a place to keep the folder, nothing is downloaded over it.
            logger().error(std::string("Cannot replace ") + repoFolder.string() + ": " + error.what());
            if (cause) std::rethrow_exception(cause);
            throw;
        }
        logger().info("Set " + repoFolder.string() + " aside as " + setAside->filename().string() +
                      " and downloading it again…");
    }
    // Takes the fresh copy away and puts the folder back as it was.
    auto putBack = [&] {
        removeFolder(repoFolder);
        if (!setAside) return;
        try {
            FileManager::moveItem(*setAside, repoFolder);
            logger().info("Put " + repoFolder.string() + " back as it was");
        } catch (const platform::NSError& error) {
            logger().error("Could not put " + repoFolder.string() + " back; it is kept as " + setAside->string() +
                           ": " + error.what());
        }
    };

    RefetchMark mark(repoFolder);
    try {
        downloadRepo(repo, directory);
    } catch (const std::exception& error) {
        putBack();
        if (platform::CancellationToken::currentIsCancelled()) throw;
        const auto failure = ModelFolderError::refetchFailed(repoFolder, causeText, error.what());
        logger().error(failure.what());
        throw failure;
    }
    try {
        use();
    } catch (const std::exception& error) {
        if (!platform::CancellationToken::currentIsCancelled()) {
            logger().error("The fresh copy of " + std::string(repo.folderName()) + " failed too: " + error.what());
        }
        putBack();
        throw;
    }
    if (setAside) {
        removeFolder(*setAside);
        logger().info("Removed " + setAside->filename().string() + ": the fresh download replaced it");
    }
}

std::map<std::string, platform::MLModelPtr> DownloadUtils::loadModelsOnce(Repo repo,
                                                                         const std::vector<std::string>& modelNames,
                                                                         const fs::path& directory,
                                                                         platform::MLComputeUnits computeUnits) {
    SystemInfoReporter::shared().logIfNeeded(logger());
    FileManager::createDirectory(directory);
    const fs::path repoFolder = directory / std::string(repo.folderName());
    if (!FileManager::fileExists(repoFolder)) {
        logger().info("Models not found in cache at " + pathText(repoFolder));
        downloadRepo(repo, directory);
    } else {
        logger().info("Found " + std::string(repo.folderName()) + " locally, no download needed");
    }

    platform::MLModelConfiguration configuration;
    configuration.computeUnits = computeUnits;
    configuration.allowLowPrecisionAccumulationOnGPU = true;

    auto reportAndThrow = [&](const std::string& name, const std::string& description, std::exception_ptr error) {
        logger().error("Failed to load model " + name + ": " + description);
        try {
            logger().error("Model directory contents: " + arrayText(FileManager::contentsOfDirectory(repoFolder)));
        } catch (const std::exception&) {
        }
        std::rethrow_exception(error);
    };

    std::map<std::string, platform::MLModelPtr> models;
    for (const auto& name : modelNames) {
        platform::CancellationToken::checkCancellation();
        const fs::path modelPath = repoFolder / name;
        bool isDirectory = false;
        if (!FileManager::fileExists(modelPath, &isDirectory)) {
            throw CocoaError::make(CocoaError::fileNoSuchFile, "Model file not found: " + name);
        }
        if (!isDirectory) {
            const auto error = CocoaError::make(CocoaError::fileReadCorruptFile, "Model path is not a directory: " + name);
            reportAndThrow(name, error.localizedDescription(), std::make_exception_ptr(error));
        }
        if (!FileManager::fileExists(modelPath / platform::MLModelBundle::descriptionFileName)) {
            logger().error("Missing coremldata.bin in " + name);
            const auto error = CocoaError::make(CocoaError::fileReadCorruptFile, "Missing coremldata.bin in model: " + name);
            reportAndThrow(name, error.localizedDescription(), std::make_exception_ptr(error));
        }
        const auto started = std::chrono::steady_clock::now();
        try {
            models[name] = platform::MLModel::modelWithContentsOfURL(modelPath, configuration);
        } catch (const std::exception& error) {
            reportAndThrow(name, error.what(), std::current_exception());
        }
        const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - started;
        logger().info("Compiled model " + name + " in " + formatMilliseconds(elapsed.count()) + " ms :: " +
                      SystemInfo::summary());
    }
    return models;
}

}  // namespace rarivoredu
