#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "RarivOredu/checkpoint/FileRegion.h"

namespace rarivoredu {

// The entries of a zip archive of stored (uncompressed) records, as torch.save writes them, read
// over a region: the end-of-central-directory record (with its ZIP64 forms), the central
// directory and each local header, whose extra field torch uses to align the data.
class ZipArchive {
public:
    struct Entry {
        std::string name;
        // Where the entry's data starts, from the start of the archive's region.
        std::uint64_t dataOffset = 0;
        std::uint64_t compressedSize = 0;
        std::uint64_t size = 0;
        // 0 stored, 8 deflate, …
        std::uint16_t method = 0;
        std::uint32_t crc32 = 0;
    };

    // Reads the directory and the local headers. Throws CheckpointError: truncated, malformed
    // (no end record, entries outside the archive, headers that disagree), unsupported (split or
    // encrypted archives).
    static ZipArchive open(const FileRegion& region);

    const std::vector<Entry>& entries() const noexcept { return entries_; }
    // nullptr when there is no entry of that name.
    const Entry* find(std::string_view name) const;
    // The entry's bytes in place. A compressed entry throws CheckpointError::unsupported.
    FileRegion region(const Entry& entry) const;
    // The entry's bytes read into memory, checked against its CRC-32 (CheckpointError::malformed).
    std::string readAll(const Entry& entry) const;

private:
    ZipArchive(FileRegion region, std::vector<Entry> entries, std::map<std::string, std::size_t, std::less<>> index)
        : region_(std::move(region)), entries_(std::move(entries)), index_(std::move(index)) {}

    FileRegion region_;
    std::vector<Entry> entries_;
    // Entry positions by name.
    std::map<std::string, std::size_t, std::less<>> index_;
};

}  // namespace rarivoredu
