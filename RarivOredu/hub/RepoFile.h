#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rarivoredu {

// One entry of a hub listing: a file or a folder of a repository, with the large-file record that
// gives the real size and digest of a file the hub stores apart. It reads and writes the listing's
// JSON form; HubListing fetches listings, VerifiedDownload fetches the files they name.
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

    // The bytes of the real file: the large-file record's size where there is one.
    std::int64_t contentSize() const { return lfs ? lfs->size : size; }

    // The SHA-256 of the file's content the listing gives, in lower case: the large-file
    // record's "sha256", else its "oid" when that is one (64 hexadecimal digits, as the
    // public hub lists it). Nothing for a file without one.
    std::optional<std::string> sha256Digest() const;

    // A JSON array of entries; other keys are ignored. Throws NSError (Cocoa domain,
    // coderReadCorrupt) when the text is not such an array.
    static std::vector<RepoFile> decodeListing(std::string_view json);
    static std::string encodeListing(const std::vector<RepoFile>& files);
};

}  // namespace rarivoredu
