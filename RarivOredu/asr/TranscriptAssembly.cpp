#include "RarivOredu/asr/TranscriptAssembly.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace rarivoredu {
namespace {

constexpr std::string_view kWordMark = "\xE2\x96\x81";  // U+2581

// Length of the whitespace character at the start of `text` (0 when there is none). Blanks are
// the space, the tab and the Unicode space separators; line breaks count only when asked for.
std::size_t leadingSpaceLength(std::string_view text, bool lineBreaks) {
    if (text.empty()) return 0;
    const auto c = static_cast<unsigned char>(text[0]);
    if (c == ' ' || c == '\t') return 1;
    if (lineBreaks && (c == '\n' || c == '\r' || c == '\v' || c == '\f')) return 1;
    static constexpr std::string_view blanks[] = {
        "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\x80", "\xE2\x80\x81", "\xE2\x80\x82", "\xE2\x80\x83",
        "\xE2\x80\x84", "\xE2\x80\x85", "\xE2\x80\x86", "\xE2\x80\x87", "\xE2\x80\x88", "\xE2\x80\x89",
        "\xE2\x80\x8A", "\xE2\x80\xAF", "\xE2\x81\x9F", "\xE3\x80\x80"};
    for (const auto blank : blanks) {
        if (text.starts_with(blank)) return blank.size();
    }
    if (lineBreaks) {
        for (const std::string_view lineBreak : {"\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9"}) {
            if (text.starts_with(lineBreak)) return lineBreak.size();
        }
    }
    return 0;
}

// Length of the whitespace character that ends `text` (0 when there is none).
std::size_t trailingSpaceLength(std::string_view text, bool lineBreaks) {
    for (std::size_t length = 1; length <= 3 && length <= text.size(); ++length) {
        const auto tail = text.substr(text.size() - length);
        if (leadingSpaceLength(tail, lineBreaks) == length) return length;
    }
    return 0;
}

std::string_view trimmed(std::string_view text, bool lineBreaks) {
    while (const auto n = leadingSpaceLength(text, lineBreaks)) text.remove_prefix(n);
    while (const auto n = trailingSpaceLength(text, lineBreaks)) text.remove_suffix(n);
    return text;
}

}  // namespace

bool isSpecialPiece(std::string_view text) noexcept {
    if (text == "<unk>" || text == "<pad>" || text == "<s>" || text == "</s>") return true;
    return text.size() >= 4 && text.starts_with("<|") && text.ends_with("|>");
}

std::string replacingWordMarks(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    std::string_view rest = text;
    while (!rest.empty()) {
        if (rest.starts_with(kWordMark)) {
            result += ' ';
            rest.remove_prefix(kWordMark.size());
        } else {
            result += rest.front();
            rest.remove_prefix(1);
        }
    }
    return result;
}

std::pair<std::string, std::vector<TokenTiming>> convertTokensToText(const std::vector<int>& tokenIds,
                                                                     const std::vector<TokenTiming>& timings,
                                                                     const Vocabulary& vocabulary) {
    if (tokenIds.empty()) return {};
    std::string joined;
    std::vector<TokenTiming> keptTimings;
    for (std::size_t i = 0; i < tokenIds.size(); ++i) {
        const auto it = vocabulary.find(tokenIds[i]);
        if (it == vocabulary.end() || it->second.empty() || isSpecialPiece(it->second)) continue;
        joined += it->second;
        if (i < timings.size()) {
            TokenTiming timing = timings[i];
            timing.token = replacingWordMarks(it->second);
            timing.tokenId = tokenIds[i];
            keptTimings.push_back(std::move(timing));
        }
    }
    return {std::string(trimmed(replacingWordMarks(joined), false)), std::move(keptTimings)};
}

std::vector<TokenTiming> createTokenTimings(const std::vector<int>& tokenIds, const std::vector<int>& timestamps,
                                            const std::vector<float>& confidences, const std::vector<int>& durations,
                                            const Vocabulary& vocabulary) {
    if (tokenIds.empty() || timestamps.size() != tokenIds.size() || confidences.size() != tokenIds.size()) return {};
    const bool haveDurations = !durations.empty();
    const std::size_t count =
        haveDurations ? std::min(tokenIds.size(), durations.size()) : tokenIds.size();

    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return timestamps[a] < timestamps[b]; });

    std::vector<TokenTiming> result;
    result.reserve(count);
    for (std::size_t position = 0; position < count; ++position) {
        const std::size_t i = order[position];
        const double start = timestamps[i] * kSecondsPerEncoderFrame;
        const int duration = haveDurations ? durations[i] : 0;
        double end = 0;
        if (haveDurations && duration >= 1) {
            end = start + std::max(duration * kSecondsPerEncoderFrame, kSecondsPerEncoderFrame);
        } else {
            end = start + kSecondsPerEncoderFrame;
            if (position + 1 < count) {
                const double nextStart = timestamps[order[position + 1]] * kSecondsPerEncoderFrame;
                if (nextStart > end) end = nextStart;
            }
        }
        end = std::max(end, start + 0.001);
        const auto it = vocabulary.find(tokenIds[i]);
        std::string text = it == vocabulary.end()       ? "token_" + std::to_string(tokenIds[i])
                           : isSpecialPiece(it->second) ? std::string()
                                                        : replacingWordMarks(it->second);
        result.push_back(TokenTiming{std::move(text), tokenIds[i], start, end, confidences[i]});
    }
    return result;
}

float transcriptConfidence(const std::string& text, const std::vector<float>& confidences, std::size_t tokenCount,
                           const AppLogger& logger) {
    if (trimmed(text, true).empty()) return 0.1f;
    if (!confidences.empty() && confidences.size() == tokenCount) {
        const float sum = std::accumulate(confidences.begin(), confidences.end(), 0.0f);
        float mean = sum / static_cast<float>(confidences.size());
        if (std::isnan(mean)) mean = 1.0f;
        return std::max(std::min(mean, 1.0f), 0.1f);
    }
    logger.warning("Expected token confidences but got none - this should not happen");
    return 0.5f;
}

}  // namespace rarivoredu
