#pragma once

#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/ml/MLComputeUnits.h"
#include "Platform/ml/MLModel.h"
#include "Platform/net/ConnectionProxyDictionary.h"
#include "Platform/net/URLSession.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/Repo.h"

namespace rarivoredu {

// The model hub client and the model loader of every engine.
//
// The hub's address comes from RARIVOREDU_HUB_URL (default https://huggingface.co); its paths:
//   listing  <hub>/api/models/<Repo::remotePath>/tree/main[/<folder>]
//   file     <hub>/<Repo::remotePath>/resolve/main/<path>
// Repository paths are percent-encoded in URLs. A path that is absolute, has an empty, "." or
// ".." segment or a control character is refused, and so is a listing that holds one or an
// entry outside the folder that was listed: nothing is ever written outside the repository
// folder.
//
// All functions block. Failures are thrown: NSError of the platform (network, files, models).
// Every transfer stops early when the calling thread's current platform::CancellationToken is
// cancelled (URLError cancelled); a cancelled load neither recovers nor retries.
class DownloadUtils {
public:
    DownloadUtils() = delete;

    using ProgressHandler = std::function<void(double)>;

    struct DownloadConfig {
        double timeout = 1800;  // seconds without data before a file download gives up
        static DownloadConfig defaultConfig() { return {}; }
    };

    // One entry of a hub listing.
    struct RepoFile {
        struct LFSInfo {
            std::int64_t size = 0;  // bytes of the real file
            std::optional<std::string> sha256;
            std::optional<std::string> oid;
            std::optional<std::int64_t> pointerSize;
        };
        std::string type;  // "file" or "directory" are acted on
        std::string path;  // relative to the repository root, "/"-separated
        std::int64_t size = 0;
        std::optional<LFSInfo> lfs;

        // The SHA-256 of the file's content the listing gives, in lower case: the large-file
        // record's "sha256", else its "oid" when that is one (64 hexadecimal digits, as the
        // public hub lists it). Nothing for a file without one.
        std::optional<std::string> sha256Digest() const;

        // A JSON array of entries; other keys are ignored. Throws NSError (Cocoa domain,
        // coderReadCorrupt) when the text is not such an array.
        static std::vector<RepoFile> decodeListing(std::string_view json);
        static std::string encodeListing(const std::vector<RepoFile>& files);
    };

    static const AppLogger& logger();
    // One session for the process, built on first use with the proxies of proxyConfiguration().
    static platform::URLSession& sharedSession();
    // The proxies named by "https_proxy" and "http_proxy" (these two names only): each must be a
    // URL with a host and a port. Nothing when neither gives one.
    static std::optional<platform::ConnectionProxyDictionary> proxyConfiguration();

    // The hub's address without a trailing "/". Throws NSError (badURL) when
    // RARIVOREDU_HUB_URL is not an http or https URL.
    static std::string hubBaseURL();
    // The hub's address as configured, unchecked, without a trailing "/": for naming an address
    // that hubBaseURL refuses.
    static std::string configuredHubAddress();
    // The download URL of a repository file. A repository id is "<owner>/<name>", as
    // Repo::remotePath gives one: the id forms reach repositories that are not ours (the
    // upstream checkpoints engines import from).
    static std::string resolveURL(Repo repo, const std::string& path);
    static std::string resolveURL(std::string_view repoId, const std::string& path);

    // An access token for one repository (a gated one the user was admitted to): the listings and
    // file requests of that repository carry it as "Authorization: Bearer <token>". It is kept in
    // memory only and never appears in a log line or an error text. An empty token removes it.
    static void setAccessToken(std::string_view repoId, std::string token);

    // The entries of one folder of a repository ("" for its root). Status must be exactly 200.
    static std::vector<RepoFile> listRepoFiles(Repo repo, const std::string& path = {});
    static std::vector<RepoFile> listRepoFiles(std::string_view repoId, const std::string& path = {});
    // As listRepoFiles, but nothing when the hub has no such repository or folder (status 404,
    // or 401 as the public hub answers for a repository it does not show).
    static std::optional<std::vector<RepoFile>> listRepoFilesIfPresent(std::string_view repoId,
                                                                       const std::string& path = {});
    // The listing entry of one file of a repository (its folder is listed); nothing when the hub
    // holds no such repository, folder or file (status 404). Other failures are thrown.
    static std::optional<RepoFile> findRepoFile(std::string_view repoId, const std::string& path);
    // Downloads a file as its listing entry describes it (the large-file record's size and
    // SHA-256 where it has one, warning where it has no digest), with the progress logged.
    static void downloadListedFile(std::string_view repoId, const RepoFile& file,
                                   const std::filesystem::path& destination);
    // Transfers one URL into one file, replacing what is there; status must be exactly 200.
    // `observe`, when given, sees the body's bytes as they arrive. A body longer than
    // `maximumBytes` is cut off as it arrives and fails (URLError dataLengthExceedsMaximum),
    // leaving nothing behind.
    static void fetchFile(const std::string& url, const std::filesystem::path& to, const ProgressHandler& progress = {},
                          double timeout = DownloadConfig::defaultConfig().timeout,
                          const platform::URLSession::BodyObserver& observe = {},
                          std::optional<std::uint64_t> maximumBytes = std::nullopt);
    // Makes `destination` hold the repository file `path`, of `expectedSize` bytes and, when
    // `expectedSHA256` is given, of that digest (computed while the bytes arrive). A file of that
    // size already there is kept. A download of another size or digest is removed and fails (of
    // another digest: ModelSourceError, which no retry mends; the digests are logged); one longer
    // than `expectedSize` is stopped as soon as it is.
    static void downloadFile(Repo repo, const std::string& path, const std::filesystem::path& destination,
                             std::int64_t expectedSize, const ProgressHandler& progress = {},
                             double timeout = DownloadConfig::defaultConfig().timeout,
                             const std::optional<std::string>& expectedSHA256 = std::nullopt);
    static void downloadFile(std::string_view repoId, const std::string& path,
                             const std::filesystem::path& destination, std::int64_t expectedSize,
                             const ProgressHandler& progress = {},
                             double timeout = DownloadConfig::defaultConfig().timeout,
                             const std::optional<std::string>& expectedSHA256 = std::nullopt);

    // As downloadFile, for files too large to fetch twice: the transfer goes into
    // "<destination>.partial", which is kept when the transfer stops (failure, cancellation), and
    // the next call continues it with a Range request where it stopped. The size, and the
    // SHA-256 when given, are checked over the whole file before it is renamed into place; a
    // partial file that cannot be the file (too long, wrong digest) is removed. A whole transfer
    // of another digest fails with ModelSourceError (the digests go to the log); a continued one
    // with CocoaError fileReadCorruptFile, since its first bytes may be of an older file and the
    // next try starts afresh. `progress` sees the fraction of the whole file that is here.
    static void resumableDownload(std::string_view repoId, const std::string& path,
                                  const std::filesystem::path& destination, std::int64_t expectedSize,
                                  const std::optional<std::string>& expectedSHA256, const ProgressHandler& progress = {},
                                  double timeout = DownloadConfig::defaultConfig().timeout);
    // Where resumableDownload keeps an unfinished transfer to `destination`.
    static std::filesystem::path partialPath(const std::filesystem::path& destination);

    // Loads the named compiled models of a repository from <directory>/<Repo::folderName>,
    // downloading the repository first when that folder is missing. When the attempt fails, the
    // folder is replaced by a fresh download (refetchRepo) and the load tried once more on it; a
    // folder that this call downloaded itself is simply downloaded once more. Nothing the user
    // had is lost: when no fresh copy loads, the folder is put back as it was and the error
    // names the first failure. An error that trying again cannot mend
    // (ModelSourceError::isPermanent) is thrown at once, without a second download. Loads of one
    // repository run one at a time, also across processes.
    static std::map<std::string, platform::MLModelPtr> loadModels(Repo repo, const std::vector<std::string>& modelNames,
                                                                  const std::filesystem::path& directory,
                                                                  platform::MLComputeUnits computeUnits);
    // Replaces a repository folder that failed with `cause`: moves it aside (FileManager::moveAside),
    // downloads the repository into its place and runs `use` on the fresh copy. When the download
    // or `use` fails, the fresh copy is removed and the folder moved back; a failed download then
    // throws ModelFolderError naming `cause` and the download's error (a cancellation is thrown as
    // it is), a failed `use` its own error. Once `use` succeeds, the folder set aside is removed.
    // Loads of the repository inside `use` get no recovery of their own.
    static void refetchRepo(Repo repo, const std::filesystem::path& directory, const std::exception_ptr& cause,
                            const std::function<void()>& use);
    // Fills <directory>/<Repo::folderName>: through the repository's UpstreamImport when one is
    // registered and the hub holds its source; otherwise by downloading the repository's required
    // models and its top-level ".json" and ".txt" files.
    static void downloadRepo(Repo repo, const std::filesystem::path& directory);
    // Downloads one repository folder, recursively, into repoFolder/path.
    static void downloadDirectory(Repo repo, const std::string& path, const std::filesystem::path& repoFolder);
    // Logs every tenth percent of a file of more than 100,000,000 bytes; empty for smaller files.
    static ProgressHandler progressLogger(const std::string& path, std::int64_t expectedSize);

private:
    // A listing; nothing when its status is one of `missingStatuses`.
    static std::optional<std::vector<RepoFile>> listing(std::string_view repoId, const std::string& path,
                                                        std::initializer_list<int> missingStatuses);
    // As above; `beforeFetch` runs before each file that is really fetched (not one already complete).
    static void downloadDirectory(Repo repo, const std::string& path, const std::filesystem::path& repoFolder,
                                  const std::function<void()>& beforeFetch);
    static std::map<std::string, platform::MLModelPtr> loadModelsOnce(Repo repo,
                                                                      const std::vector<std::string>& modelNames,
                                                                      const std::filesystem::path& directory,
                                                                      platform::MLComputeUnits computeUnits);
};

}  // namespace rarivoredu
