#include "RarivOredu/checkpoint/Crc32.h"

#include <array>
#include <cstring>

namespace rarivoredu {
namespace {

using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr Tables makeTables() {
    Tables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
        t[0][i] = c;
    }
    for (std::uint32_t i = 0; i < 256; ++i)
        for (std::size_t s = 1; s < 8; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xff];
    return t;
}

constexpr Tables tables = makeTables();

}  // namespace

std::uint32_t crc32(std::uint32_t crc, const void* data, std::size_t size) noexcept {
    const auto* p = static_cast<const unsigned char*>(data);
    std::uint32_t c = ~crc;
    // Slicing by eight: one table look-up per byte, eight independent ones per step.
    while (size >= 8) {
        std::uint32_t low;
        std::uint32_t high;
        std::memcpy(&low, p, 4);
        std::memcpy(&high, p + 4, 4);
        low ^= c;
        c = tables[7][low & 0xff] ^ tables[6][(low >> 8) & 0xff] ^ tables[5][(low >> 16) & 0xff] ^
            tables[4][low >> 24] ^ tables[3][high & 0xff] ^ tables[2][(high >> 8) & 0xff] ^
            tables[1][(high >> 16) & 0xff] ^ tables[0][high >> 24];
        p += 8;
        size -= 8;
    }
    while (size-- > 0) c = tables[0][(c ^ *p++) & 0xff] ^ (c >> 8);
    return ~c;
}

}  // namespace rarivoredu
