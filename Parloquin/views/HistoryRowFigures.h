#pragma once

#include <optional>
#include <string>

#include "Parloquin/services/TranscriptionRecord.h"
#include "Platform/system/Date.h"
#include "Platform/system/TimeZone.h"

namespace parloquin {

// The texts of one row of the history, without its widgets. Numbers in the C locale.
struct HistoryRowFigures {
    static constexpr std::size_t previewLength = 100;  // characters as a reader counts them

    // The text, or its first 100 characters followed by "..." when it is longer.
    static std::string preview(const std::string& text);
    static std::string durationText(const TranscriptionRecord& record);  // "4.3s"
    static std::string wordCountText(const TranscriptionRecord& record);  // "9 Wörter"
    static std::string wordsPerMinuteText(const TranscriptionRecord& record);  // "126 WPM"
    // "30.0s gespart", only when typing would have taken longer than speaking.
    static std::optional<std::string> timeSavedText(const TranscriptionRecord& record);
    // "RTF 0.052", only when the record has a real-time factor.
    static std::optional<std::string> rtfText(const TranscriptionRecord& record);
    // "vor 5 Minuten": when the record was made, from `now`, in the locale's words.
    static std::string relativeTime(const TranscriptionRecord& record, platform::Date now,
                                    const std::string& localeIdentifier, const platform::TimeZone& timeZone);
};

}  // namespace parloquin
