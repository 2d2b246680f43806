#include "RarivOredu/checkpoint/TarArchive.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "RarivOredu/checkpoint/CheckpointError.h"

namespace rarivoredu {
namespace {

constexpr std::uint64_t blockSize = 512;
// Bigger pax or GNU long-name records than this are not names.
constexpr std::uint64_t maxMetadataSize = 1 << 20;

using Block = std::array<unsigned char, blockSize>;

std::string_view stripDotSlash(std::string_view name) {
    while (name.size() >= 2 && name[0] == '.' && name[1] == '/') {
        name.remove_prefix(2);
        while (!name.empty() && name.front() == '/') name.remove_prefix(1);
    }
    return name;
}

// A NUL-terminated field of at most `size` bytes.
std::string field(const Block& block, std::size_t at, std::size_t size) {
    const auto* begin = reinterpret_cast<const char*>(block.data() + at);
    return std::string(begin, strnlen(begin, size));
}

bool isZero(const Block& block) {
    return std::all_of(block.begin(), block.end(), [](unsigned char c) { return c == 0; });
}

// An octal number padded with spaces or NULs, or GNU's base-256 form (high bit set).
std::optional<std::uint64_t> number(const Block& block, std::size_t at, std::size_t size) {
    const unsigned char* p = block.data() + at;
    if (p[0] & 0x80) {
        if (p[0] & 0x40) return std::nullopt;  // negative
        std::uint64_t value = p[0] & 0x3f;
        for (std::size_t i = 1; i < size; ++i) {
            if (value >> 56) return std::nullopt;
            value = (value << 8) | p[i];
        }
        return value;
    }
    std::size_t i = 0;
    while (i < size && p[i] == ' ') ++i;
    std::uint64_t value = 0;
    bool digits = false;
    for (; i < size && p[i] >= '0' && p[i] <= '7'; ++i) {
        if (value >> 60) return std::nullopt;
        value = value * 8 + (p[i] - '0');
        digits = true;
    }
    for (; i < size; ++i)
        if (p[i] != ' ' && p[i] != '\0') return std::nullopt;
    if (!digits) return std::nullopt;
    return value;
}

bool checksumMatches(const Block& block) {
    const auto stored = number(block, 148, 8);
    if (!stored) return false;
    std::uint64_t unsignedSum = 0;
    std::int64_t signedSum = 0;
    for (std::size_t i = 0; i < blockSize; ++i) {
        const unsigned char c = (i >= 148 && i < 156) ? ' ' : block[i];
        unsignedSum += c;
        signedSum += static_cast<signed char>(c);
    }
    return *stored == unsignedSum || static_cast<std::int64_t>(*stored) == signedSum;
}

struct PaxRecords {
    std::optional<std::string> path;
    std::optional<std::uint64_t> size;
};

// "<length> <key>=<value>\n" records.
PaxRecords parsePax(std::string_view data, const std::string& what) {
    PaxRecords records;
    while (!data.empty()) {
        if (data.front() == '\0') break;  // padding some writers leave
        std::size_t length = 0;
        std::size_t i = 0;
        while (i < data.size() && data[i] >= '0' && data[i] <= '9') {
            if (length > data.size()) throw CheckpointError::malformed(what);
            length = length * 10 + static_cast<std::size_t>(data[i] - '0');
            ++i;
        }
        if (i == 0 || i >= data.size() || data[i] != ' ' || length <= i + 1 || length > data.size() ||
            data[length - 1] != '\n')
            throw CheckpointError::malformed(what);
        const std::string_view record = data.substr(i + 1, length - i - 2);
        const auto equals = record.find('=');
        if (equals == std::string_view::npos) throw CheckpointError::malformed(what);
        const std::string_view key = record.substr(0, equals);
        const std::string_view value = record.substr(equals + 1);
        if (key == "path") {
            records.path = std::string(value);
        } else if (key == "size") {
            std::uint64_t size = 0;
            if (value.empty()) throw CheckpointError::malformed(what);
            for (char c : value) {
                if (c < '0' || c > '9' || size > (UINT64_MAX - 9) / 10) throw CheckpointError::malformed(what);
                size = size * 10 + static_cast<std::uint64_t>(c - '0');
            }
            records.size = size;
        }
        data.remove_prefix(length);
    }
    return records;
}

TarArchive::Member::Type memberType(char flag) {
    switch (flag) {
        case '0':
        case '\0':
        case '7': return TarArchive::Member::Type::file;
        case '5': return TarArchive::Member::Type::directory;
        case '2': return TarArchive::Member::Type::symlink;
        default: return TarArchive::Member::Type::other;
    }
}

void refuseCompressed(const FileRegion& region) {
    unsigned char magic[6] = {};
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(region.size(), sizeof magic));
    region.read(0, magic, count);
    const std::string name = region.path().string();
    if (count >= 2 && magic[0] == 0x1f && magic[1] == 0x8b)
        throw CheckpointError::unsupported(name + " is a gzip-compressed tar archive; unpack it with gunzip first");
    if (count >= 3 && magic[0] == 'B' && magic[1] == 'Z' && magic[2] == 'h')
        throw CheckpointError::unsupported(name + " is a bzip2-compressed tar archive; unpack it with bunzip2 first");
    if (count >= 6 && std::memcmp(magic,
                                  "\xfd"
                                  "7zXZ\0",
                                  6) == 0)
        throw CheckpointError::unsupported(name + " is an xz-compressed tar archive; unpack it with unxz first");
    if (count >= 4 && std::memcmp(magic, "\x28\xb5\x2f\xfd", 4) == 0)
        throw CheckpointError::unsupported(name + " is a zstd-compressed tar archive; unpack it with unzstd first");
}

}  // namespace

TarArchive TarArchive::open(const std::filesystem::path& path) {
    FileRegion file = FileRegion::open(path);
    refuseCompressed(file);
    const std::string name = path.string();
    std::vector<Member> members;
    std::optional<std::string> longName;
    PaxRecords pax;
    std::uint64_t at = 0;
    Block block{};
    for (;;) {
        // The end: two zero blocks, one (some writers), or the end of the file at a block boundary.
        if (at == file.size()) break;
        if (file.size() - at < blockSize) throw CheckpointError::truncated(name);
        file.read(at, block.data(), blockSize);
        if (isZero(block)) break;
        const std::string where = name + " (header at byte " + std::to_string(at) + ")";
        if (!checksumMatches(block)) {
            if (members.empty() && at == 0) throw CheckpointError::malformed(name + ": not a tar archive");
            throw CheckpointError::malformed(where + ": checksum error");
        }
        const auto headerSize = number(block, 124, 12);
        if (!headerSize) throw CheckpointError::malformed(where + ": bad size field");
        const char flag = static_cast<char>(block[156]);
        const std::uint64_t size =
            (flag == 'x' || flag == 'g' || flag == 'L' || flag == 'K' || !pax.size) ? *headerSize : *pax.size;
        const std::uint64_t dataStart = at + blockSize;
        if (size > file.size() - dataStart) throw CheckpointError::truncated(name);
        const std::uint64_t padded = size + (blockSize - size % blockSize) % blockSize;
        // Every member fills whole blocks, the last one too: a file that ends inside a member's
        // padding was cut short.
        if (padded > file.size() - dataStart) throw CheckpointError::truncated(name);
        const std::uint64_t next = dataStart + padded;

        if (flag == 'x' || flag == 'L' || flag == 'g' || flag == 'K') {
            if (size > maxMetadataSize) throw CheckpointError::malformed(where + ": oversized extended header");
            const std::string data = file.readBytes(dataStart, static_cast<std::size_t>(size));
            if (flag == 'x') {
                pax = parsePax(data, where + ": pax header");
            } else if (flag == 'L') {
                longName = std::string(data.c_str(), strnlen(data.c_str(), data.size()));
            }
            // Global pax records and long link names say nothing we use.
            at = next;
            continue;
        }

        std::string memberName;
        if (pax.path) {
            memberName = *pax.path;
        } else if (longName) {
            memberName = *longName;
        } else {
            memberName = field(block, 0, 100);
            // ustar splits long names into a prefix; GNU's "ustar  " header uses those bytes otherwise.
            if (std::memcmp(block.data() + 257, "ustar\0", 6) == 0) {
                const std::string prefix = field(block, 345, 155);
                if (!prefix.empty()) memberName = prefix + "/" + memberName;
            }
        }
        members.push_back(Member{std::string(stripDotSlash(memberName)), dataStart, size, memberType(flag)});
        longName.reset();
        pax = PaxRecords{};
        at = next;
    }
    return TarArchive(std::move(file), std::move(members));
}

const TarArchive::Member* TarArchive::find(std::string_view name) const {
    name = stripDotSlash(name);
    for (auto it = members_.rbegin(); it != members_.rend(); ++it)
        if (it->name == name) return &*it;
    return nullptr;
}

FileRegion TarArchive::region(const Member& member) const {
    const std::string name = region_.path().string() + ": " + member.name;
    return region_.subRegion(member.offset, member.size, name).named(name);
}

}  // namespace rarivoredu
