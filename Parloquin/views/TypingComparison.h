#pragma once

#include <cstdint>

namespace parloquin {

// Speaking against typing at 40 words per minute, for one transcript.
struct TypingComparison {
    static constexpr double typingWordsPerMinute = 40;

    // Seconds the words take to type.
    static double typingTime(std::int64_t words);
    // words / (seconds / 60); 0 for a duration that is not above zero (or not a number).
    static double wordsPerMinute(std::int64_t words, double seconds);
    // Typing time minus the seconds spoken; negative when speaking took longer.
    static double timeSaved(std::int64_t words, double seconds);
};

}  // namespace parloquin
