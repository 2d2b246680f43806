#include "Platform/system/Base64.h"

#include <array>

namespace platform {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int, 256> decodingTable() {
    std::array<int, 256> table{};
    for (auto& entry : table) entry = -1;
    for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int>(i);
    }
    return table;
}

constexpr auto kDecoding = decodingTable();

}  // namespace

std::string base64Encoded(const Data& data) {
    std::string text;
    text.reserve((data.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        const std::uint32_t group = (data[i] << 16) | (data[i + 1] << 8) | data[i + 2];
        text += kAlphabet[(group >> 18) & 63];
        text += kAlphabet[(group >> 12) & 63];
        text += kAlphabet[(group >> 6) & 63];
        text += kAlphabet[group & 63];
    }
    const std::size_t rest = data.size() - i;
    if (rest > 0) {
        std::uint32_t group = data[i] << 16;
        if (rest == 2) group |= data[i + 1] << 8;
        text += kAlphabet[(group >> 18) & 63];
        text += kAlphabet[(group >> 12) & 63];
        text += rest == 2 ? kAlphabet[(group >> 6) & 63] : '=';
        text += '=';
    }
    return text;
}

std::optional<Data> base64Decoded(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    Data data;
    data.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int values[4];
        int padding = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text[i + k];
            if (c == '=' && last && k >= 2) {
                values[k] = 0;
                ++padding;
                continue;
            }
            if (padding > 0) return std::nullopt;  // data after padding
            values[k] = kDecoding[static_cast<unsigned char>(c)];
            if (values[k] < 0) return std::nullopt;
        }
        const std::uint32_t group = (values[0] << 18) | (values[1] << 12) | (values[2] << 6) | values[3];
        // Bits hidden under the padding must be zero, so that each text has one reading.
        if (padding == 1 && (group & 0xFF) != 0) return std::nullopt;
        if (padding == 2 && (group & 0xFFFF) != 0) return std::nullopt;
        data.push_back(static_cast<std::uint8_t>(group >> 16));
        if (padding < 2) data.push_back(static_cast<std::uint8_t>(group >> 8));
        if (padding < 1) data.push_back(static_cast<std::uint8_t>(group));
    }
    return data;
}

}  // namespace platform
