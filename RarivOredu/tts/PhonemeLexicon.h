#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace rarivoredu {

// Hashes strings and string views alike, so that lookups by a view need no copy.
struct PhonemeStringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};

// A pronunciation lexicon: a word to its phoneme symbols.
using PhonemeLexicon =
    std::unordered_map<std::string, std::vector<std::string>, PhonemeStringHash, std::equal_to<>>;

// A set of phoneme symbols, such as the symbols the model's vocabulary accepts.
using PhonemeSet = std::unordered_set<std::string, PhonemeStringHash, std::equal_to<>>;

}  // namespace rarivoredu
