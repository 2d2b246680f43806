#include "RarivOredu/tts/KokoroChunker.h"

#include <algorithm>
#include <set>

#include "Platform/text/CharacterIterator.h"
#include "Platform/text/NLLanguageRecognizer.h"
#include "Platform/text/NLTagger.h"
#include "Platform/text/NLTokenizer.h"
#include "Platform/text/UnicodeText.h"
#include "RarivOredu/tts/KokoroChunkerAssembly.h"
#include "RarivOredu/tts/TtsConstants.h"

namespace rarivoredu::KokoroChunker {
namespace {

bool containsClauseMark(std::string_view token) {
    return token.find_first_of(",;:") != std::string_view::npos;
}

void appendTrimmed(std::vector<std::string>& list, std::string_view text) {
    std::string trimmed = platform::trimmingWhitespaceAndNewlines(text);
    if (!trimmed.empty()) list.push_back(std::move(trimmed));
}

}  // namespace

const AppLogger& logger() {
    static const AppLogger* const instance = new AppLogger("com.rarivoredu.tts", "KokoroChunker");
    return *instance;
}

int tokenBudget(int capacity, bool reserveExtraToken) noexcept {
    return std::max(capacity - (reserveExtraToken ? 3 : 2) - 12, 1);
}

std::vector<TextChunk> chunk(std::string_view text, const PhonemeLexicon& lowerLexicon,
                             const PhonemeLexicon& caseSensitiveLexicon, int capacity, bool reserveExtraToken,
                             const PhonemeSet& allowed, const std::vector<TtsPhoneticOverride>& overrides) {
    const std::string trimmed = platform::trimmingWhitespaceAndNewlines(text);
    if (trimmed.empty()) return {};
    const int budget = tokenBudget(capacity, reserveExtraToken);
    WordTokenCache words(lowerLexicon, caseSensitiveLexicon, allowed);

    std::vector<std::string> sentences;
    for (const auto& sentence : splitSentences(normalizeNewlines(trimmed))) appendTrimmed(sentences, sentence);
    if (sentences.empty()) {
        logger().info("Kokoro chunker produced no segments after refinement");
        return {};
    }
    std::vector<std::string> merged = mergeShortSentences(sentences, budget, words);
    if (merged.empty()) merged = sentences;

    std::vector<std::string> segments;
    for (std::size_t i = 0; i < merged.size(); ++i) {
        const std::string& segment = merged[i];
        if (estimateTokenCount(segment, budget, words) <= budget) {
            segments.push_back(segment);
            continue;
        }
        std::vector<std::string> groups = packClauses(splitAtClausePunctuation(segment), budget, words);
        if (groups.empty()) {
            logger().warning("segmentsByPeriodsSplit[" + std::to_string(i) +
                             "]: no punctuation-based split within capacity; deferring to chunk builder");
            segments.push_back(segment);
        } else {
            segments.insert(segments.end(), std::make_move_iterator(groups.begin()),
                            std::make_move_iterator(groups.end()));
        }
    }

    std::vector<TtsPhoneticOverride> sorted = overrides;
    std::stable_sort(sorted.begin(), sorted.end(), [](const TtsPhoneticOverride& a, const TtsPhoneticOverride& b) {
        return a.wordIndex < b.wordIndex;
    });
    std::vector<TextChunk> chunks;
    std::int64_t wordCounter = 0;
    std::size_t cursor = 0;
    for (const auto& segment : segments) {
        std::vector<TextChunk> built = buildChunks(segment, words, budget, wordCounter, sorted, cursor);
        chunks.insert(chunks.end(), std::make_move_iterator(built.begin()), std::make_move_iterator(built.end()));
    }
    if (cursor < sorted.size()) {
        std::string unused;
        for (std::size_t i = cursor; i < sorted.size(); ++i) {
            if (!unused.empty()) unused += ", ";
            unused += sorted[i].word;
        }
        logger().warning("Unused phonetic overrides for words: " + unused);
    }
    return chunks;
}

std::string normalizeNewlines(std::string_view text) {
    std::vector<std::string_view> lines;
    bool found = false;
    std::size_t lineStart = 0;
    platform::CharacterIterator characters(text);
    for (;;) {
        const std::size_t at = characters.position();
        const auto character = characters.next();
        if (!character) break;
        if (!platform::isNewline(*character)) continue;
        found = true;
        if (at > lineStart) lines.push_back(text.substr(lineStart, at - lineStart));
        lineStart = characters.position();
    }
    if (!found) return std::string(text);
    if (lineStart < text.size()) lines.push_back(text.substr(lineStart));
    std::string joined;
    joined.reserve(text.size());
    for (const auto line : lines) {
        if (!joined.empty()) joined += ' ';
        joined.append(line);
    }
    return joined;
}

std::vector<std::string> splitSentences(std::string_view text) {
    platform::NLLanguageRecognizer recognizer;
    recognizer.processString(text);
    platform::NLTokenizer tokenizer(platform::NLTokenizer::Unit::sentence);
    tokenizer.setLanguage(recognizer.dominantLanguage().value_or("en"));
    std::vector<std::string> sentences;
    for (const auto& range : tokenizer.tokens(text)) appendTrimmed(sentences, range.in(text));
    if (sentences.empty()) sentences.emplace_back(text);
    return sentences;
}

std::vector<std::string> mergeShortSentences(const std::vector<std::string>& sentences, int budget,
                                             WordTokenCache& words) {
    std::vector<std::string> segments;
    if (sentences.empty()) return segments;
    const int threshold = std::min(std::max(budget, 1), TtsConstants::maxMergeTokens);
    std::string pending;
    bool merged = false;
    for (const auto& raw : sentences) {
        const std::string sentence = platform::trimmingWhitespaceAndNewlines(raw);
        if (sentence.empty()) continue;
        if (estimateTokenCount(sentence, budget, words) > threshold) {
            appendTrimmed(segments, pending);
            pending.clear();
            segments.push_back(sentence);
        } else if (pending.empty()) {
            pending = sentence;
        } else {
            std::string joined = joinSegment(pending, sentence);
            if (estimateTokenCount(joined, budget, words) <= threshold) {
                pending = std::move(joined);
                merged = true;
            } else {
                appendTrimmed(segments, pending);
                pending = sentence;
            }
        }
    }
    appendTrimmed(segments, pending);
    if (merged && AppLogger::isEnabled(AppLogger::Level::debug)) {
        logger().debug("Merged short sentences into " + std::to_string(segments.size()) +
                       " segments (threshold=" + std::to_string(threshold) + " tokens)");
    }
    return segments;
}

std::string joinSegment(std::string_view accumulated, std::string_view next) {
    const std::string trimmed = platform::trimmingWhitespaceAndNewlines(next);
    if (trimmed.empty()) return std::string(accumulated);
    if (accumulated.empty()) return trimmed;
    std::string joined(accumulated);
    if (!startsWithAttachingPunctuation(trimmed)) joined += ' ';
    joined += trimmed;
    return joined;
}

std::vector<std::string> splitAtClausePunctuation(std::string_view segment) {
    std::vector<std::string> clauses;
    if (segment.empty()) return clauses;
    std::size_t cut = 0;
    for (const auto& token : platform::NLTagger::lexicalClasses(segment)) {
        if (token.tag != platform::NLTagger::Tag::punctuation || !containsClauseMark(token.range.in(segment))) continue;
        std::size_t cutEnd = token.range.end();
        const std::string_view after = segment.substr(cutEnd);
        for (const std::string_view separator : {": ", "; ", ", "}) {
            if (after.starts_with(separator)) {
                cutEnd += separator.size();
                break;
            }
        }
        if (cutEnd < cut) continue;
        appendTrimmed(clauses, segment.substr(cut, cutEnd - cut));
        cut = cutEnd;
    }
    appendTrimmed(clauses, segment.substr(cut));
    if (clauses.empty()) clauses.emplace_back(segment);
    return clauses;
}

std::vector<std::string> packClauses(const std::vector<std::string>& clauses, int budget, WordTokenCache& words) {
    std::vector<std::string> groups;
    std::string group;
    for (const auto& raw : clauses) {
        const std::string clause = platform::trimmingWhitespaceAndNewlines(raw);
        if (clause.empty()) continue;
        std::string candidate = group.empty() ? clause : joinSegment(group, clause);
        if (estimateTokenCount(candidate, budget, words) > budget && !group.empty()) {
            appendTrimmed(groups, group);
            group = clause;
            if (estimateTokenCount(group, budget, words) > budget) return {};
        } else {
            group = std::move(candidate);
        }
    }
    appendTrimmed(groups, group);
    return groups;
}

int estimateTokenCount(std::string_view segment, int limit, WordTokenCache& words) {
    int count = 0;
    bool previousWasWord = false;
    std::set<std::string> ignored;
    for (const AtomToken& atom : atomize(segment)) {
        if (atom.kind == AtomKind::punctuation) {
            if (!words.allowed().contains(atom.text)) continue;
            if (++count > limit) return count;
            previousWasWord = false;
            continue;
        }
        const std::string cleaned = cleanWord(atom.text);
        if (cleaned.empty()) continue;
        const std::vector<std::string>* tokens = words.tokens(atom.text, cleaned, ignored);
        if (tokens == nullptr || tokens->empty()) continue;
        count += static_cast<int>(tokens->size()) + (previousWasWord ? 1 : 0);
        if (count > limit) return count;
        previousWasWord = true;
    }
    return count;
}

}  // namespace rarivoredu::KokoroChunker
