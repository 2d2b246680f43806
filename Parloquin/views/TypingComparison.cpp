#include "Parloquin/views/TypingComparison.h"

namespace parloquin {

double TypingComparison::typingTime(std::int64_t words) {
    return static_cast<double>(words) / typingWordsPerMinute * 60.0;
}

double TypingComparison::wordsPerMinute(std::int64_t words, double seconds) {
    if (!(seconds > 0)) return 0.0;
    return static_cast<double>(words) / (seconds / 60.0);
}

double TypingComparison::timeSaved(std::int64_t words, double seconds) { return typingTime(words) - seconds; }

}  // namespace parloquin
