#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "Platform/net/URLSession.h"
#include "RarivOredu/hub/RepoFile.h"
#include "RarivOredu/shared/Repo.h"

namespace rarivoredu {

// Fetching one file and installing it only when it is the file that was promised. A transfer
// lands beside its destination (a whole one in "<destination>.download", a resumable one in
// "<destination>.partial") and goes through one check of size and SHA-256 and one install by
// rename: a file of another size or digest is removed and never replaces what was there.
// Digests are computed while the bytes arrive. Every transfer stops early when the calling
// thread's current platform::CancellationToken is cancelled (URLError cancelled). All functions
// block; failures are thrown.
class VerifiedDownload {
public:
    VerifiedDownload() = delete;

    using ProgressHandler = std::function<void(double)>;

    // Seconds without data before a file download gives up.
    static constexpr double defaultTimeout = 1800;

    // Transfers one URL into one file, replacing what is there; status must be exactly 200.
    // `observe`, when given, sees the body's bytes as they arrive. A body longer than
    // `maximumBytes` is cut off as it arrives and fails (URLError dataLengthExceedsMaximum),
    // leaving nothing behind.
    static void fetchFile(const std::string& url, const std::filesystem::path& to, const ProgressHandler& progress = {},
                          double timeout = defaultTimeout, const platform::URLSession::BodyObserver& observe = {},
                          std::optional<std::uint64_t> maximumBytes = std::nullopt);
    // Makes `destination` hold the repository file `path`, of `expectedSize` bytes and, when
    // `expectedSHA256` is given, of that digest. A file of that size already there is kept. A
    // download of another size or digest is removed and fails (of another digest:
    // ModelSourceError, which no retry mends; the digests are logged); one longer than
    // `expectedSize` is stopped as soon as it is.
    static void downloadFile(Repo repo, const std::string& path, const std::filesystem::path& destination,
                             std::int64_t expectedSize, const ProgressHandler& progress = {},
                             double timeout = defaultTimeout,
                             const std::optional<std::string>& expectedSHA256 = std::nullopt);
    static void downloadFile(std::string_view repoId, const std::string& path,
                             const std::filesystem::path& destination, std::int64_t expectedSize,
                             const ProgressHandler& progress = {}, double timeout = defaultTimeout,
                             const std::optional<std::string>& expectedSHA256 = std::nullopt);
    // Downloads a file as its listing entry describes it (the large-file record's size and
    // SHA-256 where it has one, warning where it has no digest), with the progress logged.
    static void downloadListedFile(std::string_view repoId, const RepoFile& file,
                                   const std::filesystem::path& destination);

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
                                  double timeout = defaultTimeout);
    // Where resumableDownload keeps an unfinished transfer to `destination`.
    static std::filesystem::path partialPath(const std::filesystem::path& destination);

    // Whether `destination` already holds a file of the expected size.
    static bool isComplete(const std::filesystem::path& destination, std::int64_t expectedSize);
    // Logs every tenth percent of a file of more than 100,000,000 bytes; empty for smaller files.
    static ProgressHandler progressLogger(const std::string& path, std::int64_t expectedSize);

private:
    // Checks the path, makes the destination's folder and says whether the file is already there
    // whole (progress then reports it done).
    static bool alreadyDownloaded(const std::string& path, const std::filesystem::path& destination,
                                  std::int64_t expectedSize, const ProgressHandler& progress);
    // The one check and install of both paths: `transfer` becomes `destination` when it has
    // `expectedSize` bytes and, when `expectedSHA256` is given, the digest `digest` that was
    // computed over it. Otherwise it is removed and the call fails: of another size, or of another
    // digest after a `continued` transfer, with CocoaError fileReadCorruptFile; of another digest
    // after a whole transfer with ModelSourceError.
    static void verifyAndInstall(const std::filesystem::path& transfer, const std::filesystem::path& destination,
                                 const std::string& path, std::int64_t expectedSize,
                                 const std::optional<std::string>& expectedSHA256,
                                 const std::optional<std::string>& digest, bool continued);
    // Renames `from` to `to`, replacing what is there; copies where the rename fails.
    static void install(const std::filesystem::path& from, const std::filesystem::path& to, const std::string& name);
};

}  // namespace rarivoredu
