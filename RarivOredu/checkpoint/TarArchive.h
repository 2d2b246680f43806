#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "RarivOredu/checkpoint/FileRegion.h"

namespace rarivoredu {

// The member list of an uncompressed tar archive (ustar, GNU long names, pax `path`/`size`
// records), read in place: members are handed out as regions of the archive file, never
// extracted. Opening reads only the headers.
class TarArchive {
public:
    struct Member {
        enum class Type { file, directory, symlink, other };

        // Without a leading "./".
        std::string name;
        // Where the member's data starts in the archive file, in bytes.
        std::uint64_t offset = 0;
        std::uint64_t size = 0;
        Type type = Type::file;
    };

    // Reads the headers. Throws CheckpointError: unreadable; unsupported for a compressed archive;
    // truncated when a header or a member runs past the end of the file; malformed for a header
    // whose checksum or fields are wrong.
    static TarArchive open(const std::filesystem::path& path);

    const std::filesystem::path& path() const noexcept { return region_.path(); }
    // In archive order.
    const std::vector<Member>& members() const noexcept { return members_; }
    // The last member with that name (a later copy replaces an earlier one, as tar extracts),
    // or nullptr. A leading "./" of `name` is ignored.
    const Member* find(std::string_view name) const;
    // The member's data.
    FileRegion region(const Member& member) const;

private:
    TarArchive(FileRegion region, std::vector<Member> members)
        : region_(std::move(region)), members_(std::move(members)) {}

    FileRegion region_;
    std::vector<Member> members_;
};

}  // namespace rarivoredu
