#include "RarivOredu/tts/KokoroChunkerAssembly.h"

#include <array>
#include <set>
#include <string>

#include "Platform/text/CharacterIterator.h"
#include "Platform/text/UnicodeText.h"
#include "RarivOredu/tts/KokoroChunker.h"

namespace rarivoredu::KokoroChunker {
namespace {

// The chunk being built.
class ChunkBuilder {
public:
    explicit ChunkBuilder(int budget) : budget_(budget) {}

    bool fits(int tokens) const { return tokenCount_ + tokens <= budget_ || phonemes_.empty(); }
    bool lastWasWord() const noexcept { return lastWasWord_; }

    void addWord(const std::string& word, const std::vector<std::string>& tokens) {
        if (lastWasWord_) {
            phonemes_.emplace_back(" ");
            ++tokenCount_;
        }
        phonemes_.insert(phonemes_.end(), tokens.begin(), tokens.end());
        tokenCount_ += static_cast<int>(tokens.size());
        words_.push_back(word);
        atoms_.push_back(word);
        lastWasWord_ = true;
    }

    void addPunctuation(const std::string& mark) {
        phonemes_.push_back(mark);
        atoms_.push_back(mark);
        ++tokenCount_;
        lastWasWord_ = false;
    }

    // Cuts the chunk being built, if it holds anything.
    void flushChunk() {
        if (phonemes_.empty()) return;
        if (phonemes_.back() == " ") {
            phonemes_.pop_back();
            --tokenCount_;
        }
        TextChunk chunk;
        chunk.text = readableText();
        chunk.words = std::move(words_);
        chunk.atoms = std::move(atoms_);
        chunk.phonemes = std::move(phonemes_);
        chunks_.push_back(std::move(chunk));
        words_.clear();
        atoms_.clear();
        phonemes_.clear();
        tokenCount_ = 0;
        lastWasWord_ = false;
    }

    std::vector<TextChunk> takeChunks() { return std::move(chunks_); }

private:
    std::string readableText() const {
        std::string text;
        for (const auto& atom : atoms_) {
            const std::string trimmed = platform::trimmingWhitespaceAndNewlines(atom);
            if (trimmed.empty()) continue;
            if (!text.empty() && !startsWithAttachingPunctuation(trimmed)) text += ' ';
            text += trimmed;
        }
        return platform::trimmingWhitespaceAndNewlines(text);
    }

    int budget_;
    std::vector<std::string> words_;
    std::vector<std::string> atoms_;
    std::vector<std::string> phonemes_;
    int tokenCount_ = 0;
    bool lastWasWord_ = false;
    std::vector<TextChunk> chunks_;
};

// The override tokens for the word at `wordCounter`, if an override names it; stale overrides
// on the way are logged and passed.
std::vector<std::string> tokensFromOverrides(std::int64_t wordCounter, const std::vector<TtsPhoneticOverride>& overrides,
                                             std::size_t& cursor, const PhonemeSet& allowed) {
    while (cursor < overrides.size()) {
        const TtsPhoneticOverride& candidate = overrides[cursor];
        if (candidate.wordIndex < wordCounter) {
            logger().error("Skipping stale phonetic override for word: " + candidate.word + " (index " +
                           std::to_string(candidate.wordIndex) + ")");
            ++cursor;
            continue;
        }
        if (candidate.wordIndex > wordCounter) break;
        ++cursor;
        std::vector<std::string> tokens = overrideTokens(candidate, allowed);
        if (tokens.empty()) {
            logger().warning("Phonetic override for word index " + std::to_string(candidate.wordIndex) +
                             " (word: " + candidate.word + ") produced no valid tokens; falling back to lexicon");
        }
        return tokens;
    }
    return {};
}

}  // namespace

bool isAttachingPunctuation(std::string_view character) noexcept {
    static constexpr std::array<std::string_view, 16> kAttaching{",", ";", ":", "!", "?", ".", "…", "—",
                                                                 "–", "'", "\"", ")", "]", "}", "”", "’"};
    for (const auto mark : kAttaching) {
        if (character == mark) return true;
    }
    return false;
}

bool startsWithAttachingPunctuation(std::string_view text) {
    platform::CharacterIterator characters(text);
    const auto first = characters.next();
    return first && isAttachingPunctuation(*first);
}

std::vector<TextChunk> buildChunks(std::string_view segment, WordTokenCache& words, int budget,
                                   std::int64_t& wordCounter, const std::vector<TtsPhoneticOverride>& sortedOverrides,
                                   std::size_t& overrideCursor) {
    const std::vector<AtomToken> atoms = atomize(segment);
    if (atoms.empty()) return {};
    ChunkBuilder chunk(budget);
    std::set<std::string> missing;
    for (const AtomToken& atom : atoms) {
        if (atom.kind == AtomKind::punctuation) {
            if (!words.allowed().contains(atom.text)) continue;
            if (!chunk.fits(1)) chunk.flushChunk();
            chunk.addPunctuation(atom.text);
            continue;
        }
        const std::string cleaned = cleanWord(atom.text);
        if (cleaned.empty()) {
            ++wordCounter;
            continue;
        }
        const std::vector<std::string> overridden =
            tokensFromOverrides(wordCounter, sortedOverrides, overrideCursor, words.allowed());
        const std::vector<std::string>* tokens = overridden.empty() ? words.tokens(atom.text, cleaned, missing) : &overridden;
        if (tokens == nullptr) {
            ++wordCounter;
            continue;
        }
        if (!chunk.fits((chunk.lastWasWord() ? 1 : 0) + static_cast<int>(tokens->size()))) chunk.flushChunk();
        chunk.addWord(atom.text, *tokens);
        ++wordCounter;
    }
    chunk.flushChunk();
    if (!missing.empty()) {
        std::string list;
        for (const auto& word : missing) {
            if (!list.empty()) list += ", ";
            list += word;
        }
        logger().warning("Missing phoneme entries for: " + list);
    }
    return chunk.takeChunks();
}

}  // namespace rarivoredu::KokoroChunker
