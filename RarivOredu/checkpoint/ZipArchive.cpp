#include "RarivOredu/checkpoint/ZipArchive.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <set>

#include "RarivOredu/checkpoint/CheckpointError.h"

namespace rarivoredu {
namespace {

constexpr std::uint32_t endSignature = 0x06054b50;
constexpr std::uint32_t zip64EndSignature = 0x06064b50;
constexpr std::uint32_t zip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t centralSignature = 0x02014b50;
constexpr std::uint32_t localSignature = 0x04034b50;
constexpr std::size_t endSize = 22;
constexpr std::size_t locatorSize = 20;
constexpr std::size_t zip64EndSize = 56;
constexpr std::size_t centralSize = 46;
constexpr std::size_t localSize = 30;
// Records bigger than this are not read into memory whole.
constexpr std::uint64_t maxReadAll = std::uint64_t{1} << 30;
// A central directory of a million records is far more than any checkpoint has.
constexpr std::uint64_t maxDirectorySize = std::uint64_t{64} << 20;

std::uint16_t u16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t u32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint64_t u64(const unsigned char* p) { return u32(p) | (static_cast<std::uint64_t>(u32(p + 4)) << 32); }

struct Directory {
    std::uint64_t entries = 0;
    std::uint64_t size = 0;
    std::uint64_t offset = 0;
};

Directory findDirectory(const FileRegion& region, const std::string& name) {
    if (region.size() < endSize) throw CheckpointError::truncated(name);
    // The end record sits in the last 22 bytes plus a comment of at most 65535.
    const std::uint64_t tail = std::min<std::uint64_t>(region.size(), endSize + 0xffff);
    const std::string bytes = region.readBytes(region.size() - tail, static_cast<std::size_t>(tail));
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t found = std::string::npos;
    for (std::size_t i = bytes.size() - endSize + 1; i-- > 0;) {
        if (u32(data + i) == endSignature && i + endSize + u16(data + i + 20) == bytes.size()) {
            found = i;
            break;
        }
    }
    if (found == std::string::npos) {
        // A zip that starts as one but has lost its end was cut short.
        unsigned char head[4] = {};
        region.read(0, head, sizeof head);
        if (u32(head) == localSignature) throw CheckpointError::truncated(name);
        throw CheckpointError::malformed(name + ": no end of central directory");
    }
    const unsigned char* end = data + found;
    const std::uint64_t endAt = region.size() - tail + found;
    if (u16(end + 4) != 0 || u16(end + 6) != 0 || u16(end + 8) != u16(end + 10))
        throw CheckpointError::unsupported(name + " is a split zip archive");
    Directory directory{u16(end + 10), u32(end + 12), u32(end + 16)};
    const bool wide = directory.entries == 0xffff || directory.size == 0xffffffffu || directory.offset == 0xffffffffu;
    if (endAt >= locatorSize) {
        unsigned char locator[locatorSize];
        region.read(endAt - locatorSize, locator, locatorSize);
        if (u32(locator) == zip64LocatorSignature) {
            const std::uint64_t recordAt = u64(locator + 8);
            if (recordAt > region.size() || region.size() - recordAt < zip64EndSize)
                throw CheckpointError::malformed(name + ": ZIP64 end record outside the archive");
            unsigned char record[zip64EndSize];
            region.read(recordAt, record, zip64EndSize);
            if (u32(record) != zip64EndSignature) throw CheckpointError::malformed(name + ": bad ZIP64 end record");
            directory = Directory{u64(record + 32), u64(record + 40), u64(record + 48)};
        } else if (wide) {
            throw CheckpointError::malformed(name + ": ZIP64 locator missing");
        }
    }
    if (directory.offset > region.size() || directory.size > region.size() - directory.offset)
        throw CheckpointError::truncated(name + ": the central directory");
    if (directory.size > maxDirectorySize)
        throw CheckpointError::unsupported(name + " has a central directory of " + std::to_string(directory.size) +
                                           " bytes");
    if (directory.entries > directory.size / centralSize)
        throw CheckpointError::malformed(name + ": central directory entry count");
    return directory;
}

// Replaces the 32-bit fields set to 0xffffffff with the ZIP64 extra field's values, in order.
void applyZip64(std::string_view extra, ZipArchive::Entry& entry, std::uint64_t& localOffset, bool needSize,
                bool needCompressed, bool needOffset, const std::string& what) {
    while (extra.size() >= 4) {
        const auto* p = reinterpret_cast<const unsigned char*>(extra.data());
        const std::uint16_t id = u16(p);
        const std::uint16_t length = u16(p + 2);
        if (length > extra.size() - 4) throw CheckpointError::malformed(what + ": extra field");
        if (id == 0x0001) {
            std::size_t at = 4;
            auto take = [&](std::uint64_t& value) {
                if (at + 8 > 4u + length) throw CheckpointError::malformed(what + ": ZIP64 extra field");
                value = u64(p + at);
                at += 8;
            };
            if (needSize) take(entry.size);
            if (needCompressed) take(entry.compressedSize);
            if (needOffset) take(localOffset);
            return;
        }
        extra.remove_prefix(4u + length);
    }
    if (needSize || needCompressed || needOffset)
        throw CheckpointError::malformed(what + ": ZIP64 extra field missing");
}

// The local header says what the central directory says of the entry: its method, and its CRC
// and sizes unless they follow the data (flag bit 3); a ZIP64 size is looked up in the local
// extra field.
void checkLocalHeader(const unsigned char* local, std::string_view extra, std::uint16_t centralFlags,
                      const ZipArchive::Entry& entry, const std::string& what) {
    const std::uint16_t flags = u16(local + 6);
    if (u16(local + 8) != entry.method || (flags & 0x8) != (centralFlags & 0x8))
        throw CheckpointError::malformed(what + ": local header disagrees");
    if (flags & 0x8) return;
    std::uint64_t size = u32(local + 22);
    std::uint64_t compressedSize = u32(local + 18);
    if (size == 0xffffffffu || compressedSize == 0xffffffffu) {
        ZipArchive::Entry wide;
        std::uint64_t unused = 0;
        applyZip64(extra, wide, unused, size == 0xffffffffu, compressedSize == 0xffffffffu, false,
                   what + ": local header");
        if (size == 0xffffffffu) size = wide.size;
        if (compressedSize == 0xffffffffu) compressedSize = wide.compressedSize;
    }
    if (u32(local + 14) != entry.crc32 || size != entry.size || compressedSize != entry.compressedSize)
        throw CheckpointError::malformed(what + ": local header disagrees");
}

}  // namespace

ZipArchive ZipArchive::open(const FileRegion& region) {
    const std::string name = region.name();
    const Directory directory = findDirectory(region, name);
    const std::string listing = region.readBytes(directory.offset, static_cast<std::size_t>(directory.size));
    const auto* data = reinterpret_cast<const unsigned char*>(listing.data());
    std::vector<Entry> entries;
    entries.reserve(static_cast<std::size_t>(directory.entries));
    std::set<std::uint64_t> localOffsets;
    std::size_t at = 0;
    for (std::uint64_t n = 0; n < directory.entries; ++n) {
        if (listing.size() - at < centralSize || u32(data + at) != centralSignature)
            throw CheckpointError::malformed(name + ": central directory");
        const unsigned char* header = data + at;
        const std::uint16_t flags = u16(header + 8);
        Entry entry;
        entry.method = u16(header + 10);
        entry.crc32 = u32(header + 16);
        entry.compressedSize = u32(header + 20);
        entry.size = u32(header + 24);
        const std::size_t nameLength = u16(header + 28);
        const std::size_t extraLength = u16(header + 30);
        const std::size_t commentLength = u16(header + 32);
        std::uint64_t localOffset = u32(header + 42);
        if (listing.size() - at - centralSize < nameLength + extraLength + commentLength)
            throw CheckpointError::malformed(name + ": central directory");
        entry.name.assign(listing.data() + at + centralSize, nameLength);
        const std::string what = name + ": " + entry.name;
        if (flags & 0x1) throw CheckpointError::unsupported(what + " is encrypted");
        applyZip64(std::string_view(listing.data() + at + centralSize + nameLength, extraLength), entry, localOffset,
                   entry.size == 0xffffffffu, entry.compressedSize == 0xffffffffu, localOffset == 0xffffffffu, what);
        at += centralSize + nameLength + extraLength + commentLength;

        if (localOffset > region.size() || region.size() - localOffset < localSize)
            throw CheckpointError::truncated(what);
        unsigned char local[localSize];
        region.read(localOffset, local, localSize);
        if (u32(local) != localSignature) throw CheckpointError::malformed(what + ": local header");
        if (!localOffsets.insert(localOffset).second)
            throw CheckpointError::malformed(what + ": a local header of another entry");
        const std::size_t localExtraLength = u16(local + 28);
        if (u16(local + 26) != nameLength || region.size() - localOffset - localSize < nameLength + localExtraLength)
            throw CheckpointError::malformed(what + ": local header disagrees");
        entry.dataOffset = localOffset + localSize + nameLength + localExtraLength;
        if (entry.dataOffset > region.size() || entry.compressedSize > region.size() - entry.dataOffset)
            throw CheckpointError::truncated(what);
        const std::string localHead = region.readBytes(localOffset + localSize, nameLength + localExtraLength);
        if (localHead.compare(0, nameLength, entry.name) != 0)
            throw CheckpointError::malformed(what + ": local header disagrees");
        checkLocalHeader(local, std::string_view(localHead).substr(nameLength), flags, entry, what);
        if (entry.method == 0 && entry.size != entry.compressedSize)
            throw CheckpointError::malformed(what + ": sizes of a stored entry differ");
        entries.push_back(std::move(entry));
    }
    std::map<std::string, std::size_t, std::less<>> index;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (!index.emplace(entries[i].name, i).second)
            throw CheckpointError::malformed(name + ": " + entries[i].name + ": a second entry of that name");
    return ZipArchive(region, std::move(entries), std::move(index));
}

const ZipArchive::Entry* ZipArchive::find(std::string_view name) const {
    const auto found = index_.find(name);
    return found == index_.end() ? nullptr : &entries_[found->second];
}

FileRegion ZipArchive::region(const Entry& entry) const {
    const std::string what = region_.name() + ": " + entry.name;
    if (entry.method != 0)
        throw CheckpointError::unsupported(what + " is compressed (method " + std::to_string(entry.method) +
                                           "); only stored records are read");
    return region_.subRegion(entry.dataOffset, entry.size, what).named(what);
}

std::string ZipArchive::readAll(const Entry& entry) const {
    const FileRegion bytes = region(entry);
    const std::string what = region_.name() + ": " + entry.name;
    if (bytes.size() > maxReadAll) throw CheckpointError::unsupported(what + " is too large to read whole");
    std::string data = bytes.readBytes(0, static_cast<std::size_t>(bytes.size()));
    if (::crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()) != entry.crc32) throw CheckpointError::malformed(what + ": CRC-32 mismatch");
    return data;
}

}  // namespace rarivoredu
