#pragma once

// Pickle fragments as torch.save writes them, for checkpoints made in the tests.

#include <string>

namespace checkpointtest {

inline std::string binunicode(const std::string& text) {
    std::string out = "X";
    const auto size = static_cast<unsigned>(text.size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((size >> (8 * i)) & 0xff));
    return out + text;
}

// _rebuild_tensor_v2 of a one-dimensional float32 tensor of `size` elements over storage `key`
// holding `storageSize` elements.
inline std::string tensorPickle(const std::string& key, int size, int storageSize) {
    return std::string("ctorch._utils\n_rebuild_tensor_v2\n(") + "(" + binunicode("storage") +
           "ctorch\nFloatStorage\n" + binunicode(key) + binunicode("cpu") + "K" + static_cast<char>(storageSize) +
           "tQ" + std::string("K\x00", 2) + "K" + static_cast<char>(size) + "\x85" + "K\x01\x85" + "\x89" + "N" + "tR";
}

// A dict of the given pickled values under text keys.
inline std::string dictPickle(const std::vector<std::pair<std::string, std::string>>& items) {
    std::string out = "}(";
    for (const auto& [key, value] : items) out += binunicode(key) + value;
    return out + "u";
}

inline std::string pickle(const std::string& body) { return "\x80\x02" + body + "."; }

}  // namespace checkpointtest
