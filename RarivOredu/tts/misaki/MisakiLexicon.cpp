#include "RarivOredu/tts/misaki/MisakiLexicon.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Platform/system/CocoaError.h"
#include "Platform/text/StringSearch.h"

namespace rarivoredu {
namespace {

// A word list with one reading a word: word → phoneme string.
using WordList = std::unordered_map<std::string, std::string>;

platform::NSError notAWordList(std::string_view name, const std::string& why) {
    return platform::CocoaError::make(platform::CocoaError::fileReadCorruptFile,
                                      std::string(name) + " is not a misaki word list: " + why);
}

WordList parse(std::string_view text, std::string_view name) {
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(text.begin(), text.end());
    } catch (const nlohmann::json::exception& error) {
        throw notAWordList(name, error.what());
    }
    if (!document.is_object()) throw notAWordList(name, "the document is no JSON object");
    WordList list;
    list.reserve(document.size());
    for (auto& [word, value] : document.items()) {
        if (value.is_string()) {
            list.emplace(word, std::move(value.get_ref<std::string&>()));
        } else if (value.is_object()) {
            const auto reading = value.find("DEFAULT");
            if (reading == value.end() || !reading->is_string()) {
                throw notAWordList(name, "the readings of \"" + word + "\" have no DEFAULT phoneme string");
            }
            list.emplace(word, std::move(reading->get_ref<std::string&>()));
        } else {
            throw notAWordList(name, "the entry of \"" + word + "\" is neither a phoneme string nor readings by part of speech");
        }
    }
    return list;
}

std::size_t firstScalarLength(const std::string& text) {
    std::size_t length = 1;
    while (length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) ++length;
    return length;
}

// "Paris": a first letter that changes when lower-cased, followed by lower-case only.
bool isCapitalised(const std::string& word) {
    const std::size_t first = firstScalarLength(word);
    if (first >= word.size()) return false;  // words of one letter are left as they are
    const std::string head = word.substr(0, first);
    const std::string rest = word.substr(first);
    return platform::lowercased(head) != head && platform::lowercased(rest) == rest;
}

// The list with the lower-case form of every capitalised word added, unless it has its own.
WordList withLowerCaseForms(WordList list) {
    std::vector<std::pair<std::string, std::string>> added;
    for (const auto& [word, phonemes] : list) {
        if (isCapitalised(word)) added.emplace_back(platform::lowercased(word), phonemes);
    }
    for (auto& [word, phonemes] : added) list.emplace(std::move(word), std::move(phonemes));
    return list;
}

// The phoneme string's characters, or nothing when one of them is outside `allowed`.
bool splitSymbols(const std::string& phonemes, const PhonemeSet& allowed, std::vector<std::string>& symbols) {
    symbols.clear();
    for (std::size_t at = 0; at < phonemes.size();) {
        std::size_t end = at + 1;
        while (end < phonemes.size() && (static_cast<unsigned char>(phonemes[end]) & 0xC0) == 0x80) ++end;
        const std::string_view symbol(phonemes.data() + at, end - at);
        if (!allowed.contains(symbol)) return false;
        symbols.emplace_back(symbol);
        at = end;
    }
    return !symbols.empty();
}

// Function words whose list entry is the strong form, which misaki replaces by the reading their
// context asks for; without that context, the reading of their usual place: "a" and "an" as
// determiners, "the" and "to" before a consonant, "I" as a pronoun.
struct UsualReading {
    const char* word;
    const char* phonemes;
};
constexpr UsualReading kUsualReadings[] = {
    {"a", "ɐ"}, {"A", "ɐ"}, {"an", "ɐn"}, {"the", "ðə"}, {"to", "tə"}, {"I", "ˌI"},
};

void appendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

void appendMap(std::string& out, const PhonemeLexicon& map) {
    std::vector<const PhonemeLexicon::value_type*> entries;
    entries.reserve(map.size());
    for (const auto& entry : map) entries.push_back(&entry);
    std::sort(entries.begin(), entries.end(), [](const auto* a, const auto* b) { return a->first < b->first; });
    out += '{';
    bool firstEntry = true;
    for (const auto* entry : entries) {
        if (!firstEntry) out += ',';
        firstEntry = false;
        out += '\n';
        appendQuoted(out, entry->first);
        out += ":[";
        for (std::size_t i = 0; i < entry->second.size(); ++i) {
            if (i > 0) out += ',';
            appendQuoted(out, entry->second[i]);
        }
        out += ']';
    }
    out += "\n}";
}

}  // namespace

MisakiLexicon MisakiLexicon::fromWordLists(std::string_view gold, std::string_view silver, const PhonemeSet& allowed,
                                           std::string_view goldName, std::string_view silverName) {
    WordList words = withLowerCaseForms(parse(gold, goldName));
    for (auto& [word, phonemes] : withLowerCaseForms(parse(silver, silverName))) {
        words.emplace(word, std::move(phonemes));  // gold wins
    }
    MisakiLexicon lexicon;
    std::vector<std::string> symbols;
    for (const auto& [word, phonemes] : words) {
        if (!splitSymbols(phonemes, allowed, symbols)) {
            ++lexicon.leftOut;
            continue;
        }
        auto& map = platform::lowercased(word) == word ? lexicon.lower : lexicon.caseSensitive;
        map.emplace(word, symbols);
    }
    for (const UsualReading& usual : kUsualReadings) {
        const std::string word = usual.word;
        auto& map = platform::lowercased(word) == word ? lexicon.lower : lexicon.caseSensitive;
        if (map.contains(word) && splitSymbols(usual.phonemes, allowed, symbols)) map[word] = symbols;
    }
    return lexicon;
}

std::string MisakiLexicon::json() const {
    std::string out = "{\"lower\":";
    appendMap(out, lower);
    out += ",\n\"caseSensitive\":";
    appendMap(out, caseSensitive);
    out += "}\n";
    return out;
}

}  // namespace rarivoredu
