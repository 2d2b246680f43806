#include "Parloquin/views/HistoryRowFigures.h"

#include "Parloquin/views/TypingComparison.h"
#include "Platform/system/RelativeDateTimeFormatter.h"
#include "Platform/text/CharacterIterator.h"
#include "Platform/text/NumberFormat.h"

namespace parloquin {

std::string HistoryRowFigures::preview(const std::string& text) {
    platform::CharacterIterator characters(text);
    for (std::size_t count = 0; count < previewLength; ++count)
        if (!characters.next()) return text;
    if (characters.position() >= text.size()) return text;
    return text.substr(0, characters.position()) + "...";
}

std::string HistoryRowFigures::durationText(const TranscriptionRecord& record) {
    return platform::formatFixed(record.duration, 1) + "s";
}

std::string HistoryRowFigures::wordCountText(const TranscriptionRecord& record) {
    return std::to_string(record.wordCount) + " Wörter";
}

std::string HistoryRowFigures::wordsPerMinuteText(const TranscriptionRecord& record) {
    return platform::formatFixed(TypingComparison::wordsPerMinute(record.wordCount, record.duration), 0) + " WPM";
}

std::optional<std::string> HistoryRowFigures::timeSavedText(const TranscriptionRecord& record) {
    if (!(TypingComparison::typingTime(record.wordCount) > record.duration)) return std::nullopt;
    return platform::formatFixed(TypingComparison::timeSaved(record.wordCount, record.duration), 1) + "s gespart";
}

std::optional<std::string> HistoryRowFigures::rtfText(const TranscriptionRecord& record) {
    if (!record.rtf) return std::nullopt;
    return "RTF " + platform::formatFixed(*record.rtf, 3);
}

std::string HistoryRowFigures::relativeTime(const TranscriptionRecord& record, platform::Date now,
                                            const std::string& localeIdentifier,
                                            const platform::TimeZone& timeZone) {
    return platform::RelativeDateTimeFormatter(localeIdentifier, timeZone).localizedString(record.timestamp, now);
}

}  // namespace parloquin
