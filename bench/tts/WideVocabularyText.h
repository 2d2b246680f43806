#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace benchtext {

// English-like prose of at least `words` words with the vocabulary of real text, the same every
// time: words are drawn by rank with Zipf's law (frequency ∝ 1/rank) from 30,000 ranks, the
// first ones common English words, the rest made-up words of one to three syllables. 10,000
// words hold about 3,500 distinct ones, as a long article or a book chapter does. Sentences of
// 6 to 24 words start with a capital, have a comma now and then and end in "." or "?";
// paragraphs of five sentences.
inline std::string wideVocabularyText(int words) {
    static constexpr std::array<std::string_view, 240> kCommon{
        "the",     "of",      "and",     "to",      "a",       "in",       "is",      "it",      "you",     "that",
        "he",      "was",     "for",     "on",      "are",     "with",     "as",      "his",     "they",    "at",
        "be",      "this",    "have",    "from",    "or",      "one",      "had",     "by",      "word",    "but",
        "not",     "what",    "all",     "were",    "we",      "when",     "your",    "can",     "said",    "there",
        "use",     "an",      "each",    "which",   "she",     "do",       "how",     "their",   "if",      "will",
        "up",      "other",   "about",   "out",     "many",    "then",     "them",    "these",   "so",      "some",
        "her",     "would",   "make",    "like",    "him",     "into",     "time",    "has",     "look",    "two",
        "more",    "write",   "go",      "see",     "number",  "no",       "way",     "could",   "people",  "my",
        "than",    "first",   "water",   "been",    "call",    "who",      "oil",     "its",     "now",     "find",
        "long",    "down",    "day",     "did",     "get",     "come",     "made",    "may",     "part",    "over",
        "new",     "sound",   "take",    "only",    "little",  "work",     "know",    "place",   "year",    "live",
        "me",      "back",    "give",    "most",    "very",    "after",    "thing",   "our",     "just",    "name",
        "good",    "sentence", "man",    "think",   "say",     "great",    "where",   "help",    "through", "much",
        "before",  "line",    "right",   "too",     "mean",    "old",      "any",     "same",    "tell",    "boy",
        "follow",  "came",    "want",    "show",    "also",    "around",   "form",    "three",   "small",   "set",
        "put",     "end",     "does",    "another", "well",    "large",    "must",    "big",     "even",    "such",
        "because", "turn",    "here",    "why",     "ask",     "went",     "men",     "read",    "need",    "land",
        "different", "home",  "us",      "move",    "try",     "kind",     "hand",    "picture", "again",   "change",
        "off",     "play",    "spell",   "air",     "away",    "animal",   "house",   "point",   "page",    "letter",
        "mother",  "answer",  "found",   "study",   "still",   "learn",    "should",  "America", "world",   "high",
        "every",   "near",    "add",     "food",    "between", "own",      "below",   "country", "plant",   "last",
        "school",  "father",  "keep",    "tree",    "never",   "start",    "city",    "earth",   "eye",     "light",
        "thought", "head",    "under",   "story",   "saw",     "left",     "few",     "while",   "along",   "might",
        "close",   "something", "seem",  "next",    "hard",    "open",     "example", "begin",   "life",    "always",
    };
    static constexpr std::array<std::string_view, 30> kOnsets{
        "b",  "br", "c",  "ch", "cl", "d",  "dr", "f",  "fl", "g",  "gr", "h",  "j",   "k",  "l",
        "m",  "n",  "p",  "pl", "pr", "r",  "s",  "sh", "sl", "st", "str", "t", "th",  "tr", "v",
    };
    static constexpr std::array<std::string_view, 9> kVowels{"a", "e", "i", "o", "u", "ai", "ea", "oo", "ou"};
    static constexpr std::array<std::string_view, 12> kCodas{"", "n", "r", "l", "m", "nd", "st", "ck", "ng", "t", "rt", "sh"};
    constexpr std::size_t kRanks = 30000;
    constexpr std::size_t kSyllables = kOnsets.size() * kVowels.size() * kCodas.size();

    // Syllable i, in an order that mixes onsets, vowels and codas.
    const auto syllable = [](std::size_t i) {
        i = i * 7919 % kSyllables;
        return std::string(kOnsets[i % kOnsets.size()]) + std::string(kVowels[i / kOnsets.size() % kVowels.size()]) +
               std::string(kCodas[i / (kOnsets.size() * kVowels.size())]);
    };
    // The vocabulary in rank order: the common words, then made-up words, the frequent ones short.
    std::vector<std::string> vocabulary(kCommon.begin(), kCommon.end());
    std::unordered_set<std::string> taken(vocabulary.begin(), vocabulary.end());
    for (std::size_t i = 0; vocabulary.size() < kRanks; ++i) {
        std::string word;
        if (i < kSyllables) {
            word = syllable(i);
        } else {
            const std::size_t k = i - kSyllables;
            // Words k and k + m·kSyllables (0 < m < kSyllables) share a first syllable, never the second.
            word = syllable(k % kSyllables) + syllable(k / kSyllables + k * 37);
            if (k % 4 == 0) word += syllable(k * 53 + 11);
        }
        if (taken.insert(word).second) vocabulary.push_back(std::move(word));
    }
    std::vector<double> cumulative(kRanks);
    double total = 0;
    for (std::size_t r = 0; r < kRanks; ++r) cumulative[r] = total += 1.0 / static_cast<double>(r + 1);

    std::uint64_t state = 20240501;
    const auto next = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return state >> 33;
    };
    const auto uniform = [&next] { return static_cast<double>(next()) / static_cast<double>(1ull << 31); };

    std::string text;
    int count = 0;
    int sentences = 0;
    while (count < words) {
        if (!text.empty()) text += sentences % 5 == 0 ? "\n\n" : " ";
        const int length = 6 + static_cast<int>(next() % 19);
        for (int i = 0; i < length; ++i) {
            const auto rank = static_cast<std::size_t>(
                std::upper_bound(cumulative.begin(), cumulative.end(), uniform() * total) - cumulative.begin());
            std::string word = vocabulary[std::min(rank, kRanks - 1)];
            if (i == 0 && word[0] >= 'a' && word[0] <= 'z') word[0] = static_cast<char>(word[0] - 'a' + 'A');
            if (i > 0) text += ' ';
            text += word;
            if (i > 1 && i + 2 < length && next() % 8 == 0) text += ',';
        }
        text += next() % 10 == 0 ? "?" : ".";
        count += length;
        ++sentences;
    }
    return text;
}

}  // namespace benchtext
