#include "RarivOredu/cli/SubtitleWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace rarivoredu::cli {
namespace {

constexpr std::size_t maxCueCharacters = 42;
constexpr double maxCueSeconds = 6.0;
constexpr double pauseSeconds = 1.0;

struct Word {
    std::string text;
    double start = 0;
    double end = 0;
};

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\n") - first + 1);
}

std::vector<Word> words(const api::Transcript& transcript) {
    std::vector<Word> result;
    for (const api::Token& token : transcript.tokens) {
        const bool startsWord = result.empty() || (!token.text.empty() && token.text.front() == ' ');
        if (startsWord) {
            result.push_back({trimmed(token.text), token.start, token.end});
        } else {
            result.back().text += token.text;
            result.back().end = std::max(result.back().end, token.end);
        }
    }
    std::erase_if(result, [](const Word& word) { return word.text.empty(); });
    return result;
}

bool endsSentence(const std::string& text) {
    return !text.empty() && (text.back() == '.' || text.back() == '?' || text.back() == '!');
}

}  // namespace

std::vector<SubtitleWriter::Cue> SubtitleWriter::cues(const api::Transcript& transcript) {
    std::vector<Cue> result;
    const std::vector<Word> found = words(transcript);
    if (found.empty()) {
        const std::string text = trimmed(transcript.text);
        if (!text.empty()) result.push_back({0, std::max(transcript.duration, 0.001), text});
        return result;
    }
    bool open = false;
    for (const Word& word : found) {
        if (open) {
            Cue& cue = result.back();
            const bool fits = cue.text.size() + 1 + word.text.size() <= maxCueCharacters &&
                              word.end - cue.start <= maxCueSeconds && word.start - cue.end < pauseSeconds &&
                              !endsSentence(cue.text);
            if (fits) {
                cue.text += " " + word.text;
                cue.end = std::max(cue.end, word.end);
                continue;
            }
        }
        result.push_back({word.start, std::max(word.end, word.start + 0.001), word.text});
        open = true;
    }
    return result;
}

std::string SubtitleWriter::timestamp(double seconds) {
    const auto millis = static_cast<long long>(std::llround(std::max(seconds, 0.0) * 1000));
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld,%03lld", millis / 3600000, millis / 60000 % 60,
                  millis / 1000 % 60, millis % 1000);
    return text;
}

std::string SubtitleWriter::srt(const api::Transcript& transcript) {
    std::string result;
    int number = 0;
    for (const Cue& cue : cues(transcript)) {
        result += std::to_string(++number) + "\n" + timestamp(cue.start) + " --> " + timestamp(cue.end) + "\n" +
                  cue.text + "\n\n";
    }
    return result;
}

}  // namespace rarivoredu::cli
