#include "Parloquin/views/TranscriptMetadata.h"

#include "Parloquin/views/HistoryListing.h"
#include "Parloquin/views/HistoryRowFigures.h"
#include "Parloquin/views/TypingComparison.h"
#include "Platform/system/DateFormatter.h"
#include "Platform/text/NumberFormat.h"

namespace parloquin {

std::vector<TranscriptMetadata::Row> TranscriptMetadata::rows(const TranscriptionRecord& record,
                                                              const std::string& localeIdentifier,
                                                              const platform::TimeZone& timeZone) {
    using platform::DateFormatter;
    using platform::formatFixed;
    const DateFormatter dates(localeIdentifier, DateFormatter::Style::mediumStyle, DateFormatter::Style::shortStyle,
                              timeZone);
    std::vector<Row> rows = {
        {"Datum", dates.string(record.timestamp).value_or("")},
        {"Dauer", HistoryRowFigures::durationText(record)},
        {"Wörter", std::to_string(record.wordCount)},
        {"Zeichen", std::to_string(record.charCount)},
    };
    if (record.language) rows.push_back({"Sprache", HistoryListing::displayLanguage(*record.language)});
    rows.push_back({"Sprechgeschwindigkeit", HistoryRowFigures::wordsPerMinuteText(record)});
    rows.push_back({"Zeitersparnis", formatFixed(TypingComparison::timeSaved(record.wordCount, record.duration), 1) + "s"});
    if (record.rtf) rows.push_back({"RTF", formatFixed(*record.rtf, 4)});
    if (record.inferenceTime) rows.push_back({"Inferenzzeit", formatFixed(*record.inferenceTime, 2) + "s"});
    return rows;
}

}  // namespace parloquin
