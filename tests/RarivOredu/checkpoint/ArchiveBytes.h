#pragma once

// Small writers of tar and zip bytes, so the tests can make archives with exactly the feature or
// the fault they look at.

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace checkpointtest {

inline std::string octal(std::uint64_t value, std::size_t width) {
    std::string text(width - 1, '0');
    for (std::size_t i = width - 1; i-- > 0 && value;) {
        text[i] = static_cast<char>('0' + (value & 7));
        value >>= 3;
    }
    return text + '\0';
}

struct TarHeader {
    std::string name;
    std::uint64_t size = 0;
    char type = '0';
    std::string prefix = {};
    bool gnuMagic = false;
};

inline std::string tarHeader(const TarHeader& h) {
    std::string block(512, '\0');
    std::memcpy(block.data(), h.name.data(), std::min<std::size_t>(h.name.size(), 100));
    std::memcpy(block.data() + 100, octal(0644, 8).data(), 8);
    std::memcpy(block.data() + 108, octal(0, 8).data(), 8);
    std::memcpy(block.data() + 116, octal(0, 8).data(), 8);
    std::memcpy(block.data() + 124, octal(h.size, 12).data(), 12);
    std::memcpy(block.data() + 136, octal(0, 12).data(), 12);
    block[156] = h.type;
    if (h.gnuMagic) {
        std::memcpy(block.data() + 257, "ustar  \0", 8);
    } else {
        std::memcpy(block.data() + 257, "ustar\0" "00", 8);
        std::memcpy(block.data() + 345, h.prefix.data(), std::min<std::size_t>(h.prefix.size(), 155));
    }
    std::memset(block.data() + 148, ' ', 8);
    unsigned sum = 0;
    for (unsigned char c : block) sum += c;
    char checksum[8];
    std::snprintf(checksum, sizeof checksum, "%06o", sum);
    std::memcpy(block.data() + 148, checksum, 7);
    return block;
}

inline std::string padded(std::string data) {
    data.resize((data.size() + 511) / 512 * 512, '\0');
    return data;
}

inline std::string tarMember(const std::string& name, const std::string& data, char type = '0') {
    return tarHeader({name, data.size(), type, "", false}) + padded(data);
}

inline std::string paxRecord(const std::string& key, const std::string& value) {
    const std::string body = " " + key + "=" + value + "\n";
    std::size_t length = body.size() + 1;
    while (std::to_string(length).size() + body.size() != length) ++length;
    return std::to_string(length) + body;
}

inline std::string tarEnd() { return std::string(1024, '\0'); }

inline std::uint32_t crc32(const std::string& bytes) {
    std::uint32_t c = 0xffffffffu;
    for (unsigned char b : bytes) {
        c ^= b;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
    }
    return c ^ 0xffffffffu;
}

inline void put16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xff));
    out.push_back(static_cast<char>(v >> 8));
}
inline void put32(std::string& out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v & 0xffff));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}
inline void put64(std::string& out, std::uint64_t v) {
    put32(out, static_cast<std::uint32_t>(v & 0xffffffffu));
    put32(out, static_cast<std::uint32_t>(v >> 32));
}

struct ZipRecord {
    std::string name;
    std::string data;
    std::uint16_t method = 0;
};

// A zip of the records as torch writes one: data aligned to 64 bytes by a padding extra field in
// the local header. With `zip64`, sizes and offsets are given in ZIP64 extra fields and records.
inline std::string zipArchive(const std::vector<ZipRecord>& records, bool zip64 = false) {
    std::string out;
    std::string directory;
    for (const ZipRecord& record : records) {
        const std::uint64_t offset = out.size();
        const std::uint32_t crc = crc32(record.data);
        std::string local;
        put32(local, 0x04034b50);
        put16(local, zip64 ? 45 : 20);
        put16(local, 0);
        put16(local, record.method);
        put32(local, 0);
        put32(local, crc);
        put32(local, static_cast<std::uint32_t>(record.data.size()));
        put32(local, static_cast<std::uint32_t>(record.data.size()));
        put16(local, static_cast<std::uint16_t>(record.name.size()));
        const std::size_t unpadded = offset + local.size() + 2 + record.name.size() + 4;
        const std::size_t padding = (64 - unpadded % 64) % 64;
        put16(local, static_cast<std::uint16_t>(4 + padding));
        local += record.name;
        put16(local, 0x4246);  // "FB"
        put16(local, static_cast<std::uint16_t>(padding));
        local += std::string(padding, 'Z');
        out += local + record.data;

        put32(directory, 0x02014b50);
        put16(directory, zip64 ? 45 : 20);
        put16(directory, zip64 ? 45 : 20);
        put16(directory, 0);
        put16(directory, record.method);
        put32(directory, 0);
        put32(directory, crc);
        put32(directory, zip64 ? 0xffffffffu : static_cast<std::uint32_t>(record.data.size()));
        put32(directory, zip64 ? 0xffffffffu : static_cast<std::uint32_t>(record.data.size()));
        put16(directory, static_cast<std::uint16_t>(record.name.size()));
        put16(directory, zip64 ? 28 : 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, 0);
        put32(directory, zip64 ? 0xffffffffu : static_cast<std::uint32_t>(offset));
        directory += record.name;
        if (zip64) {
            put16(directory, 0x0001);
            put16(directory, 24);
            put64(directory, record.data.size());
            put64(directory, record.data.size());
            put64(directory, offset);
        }
    }
    const std::uint64_t directoryOffset = out.size();
    out += directory;
    if (zip64) {
        const std::uint64_t recordOffset = out.size();
        put32(out, 0x06064b50);
        put64(out, 44);
        put16(out, 45);
        put16(out, 45);
        put32(out, 0);
        put32(out, 0);
        put64(out, records.size());
        put64(out, records.size());
        put64(out, directory.size());
        put64(out, directoryOffset);
        put32(out, 0x07064b50);
        put32(out, 0);
        put64(out, recordOffset);
        put32(out, 1);
    }
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, zip64 ? 0xffff : static_cast<std::uint16_t>(records.size()));
    put16(out, zip64 ? 0xffff : static_cast<std::uint16_t>(records.size()));
    put32(out, zip64 ? 0xffffffffu : static_cast<std::uint32_t>(directory.size()));
    put32(out, zip64 ? 0xffffffffu : static_cast<std::uint32_t>(directoryOffset));
    put16(out, 0);
    return out;
}

}  // namespace checkpointtest
