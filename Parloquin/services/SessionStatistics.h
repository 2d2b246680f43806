#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Parloquin/services/JSONCoding.h"
#include "Platform/system/Calendar.h"
#include "Platform/system/Date.h"

namespace parloquin {

// Cumulative usage totals of all recorded transcriptions. A fresh value holds the defaults:
// zeros, empty, absent.
struct SessionStatistics {
    std::int64_t totalRecordings = 0;
    double totalDuration = 0;       // seconds of audio
    std::int64_t totalCharacters = 0;
    std::int64_t totalWords = 0;
    double totalInferenceTime = 0;  // seconds, of the transcriptions that reported one
    std::optional<double> fastestInference;
    std::optional<double> slowestInference;
    double totalRTF = 0;
    std::int64_t rtfCount = 0;
    std::map<std::string, std::int64_t> languageCount;
    std::optional<platform::Date> firstUse;
    std::optional<platform::Date> lastUse;
    std::int64_t sessionsCount = 0;  // stored and reset; nothing counts sessions yet
    std::int64_t currentStreak = 0;  // consecutive days of use
    std::int64_t longestStreak = 0;

    bool operator==(const SessionStatistics&) const = default;

    // Adds one finished transcription at `now`: the totals, the fastest and slowest inference,
    // the language, first and last use, and the streak of days in the calendar. Counts stop at
    // the largest 64-bit value instead of wrapping around (stored totals may be anywhere).
    void record(std::int64_t characters, std::int64_t words, std::optional<std::string> language,
                std::optional<double> rtf, std::optional<double> inferenceTime, double duration, platform::Date now,
                const platform::Calendar& calendar);

    // Whole days from the first use to `now` in the calendar; 0 without a first use, when the
    // calendar cannot count, or when the count is negative.
    std::int64_t daysSinceFirstUse(platform::Date now, const platform::Calendar& calendar) const;
    // count / totalRecordings × 100.
    double languagePercentage(std::int64_t count) const;
    // One (code, percentage) pair per language, highest first, ties in code order; empty when
    // nothing was recorded.
    std::vector<std::pair<std::string, double>> languagePercentages() const;
    double averageDuration() const;
    double averageWords() const;
    double wordsPerMinute() const;
    // Seconds that typing the words at 40 words per minute would have taken, minus the seconds
    // spoken; negative when speaking took longer.
    double typingTimeSaved() const;
    double productivityBoost() const;
    double averageRTF() const;
    // Over all recordings, also those that reported no inference time.
    double averageInferenceTime() const;

    // As JSON with the field names as keys; the four optional fields only when present.
    // Throws json_coding::EncodingError for a number that JSON cannot hold.
    nlohmann::json encode(json_coding::DateEncoding dateEncoding) const;
    // Every key but the four optional ones is required. Throws json_coding::DecodingError.
    // With `unreadable`, only a value that is no JSON object throws: a member that is missing or
    // does not decode keeps its default and its key is added to the list ("languageCount.<code>"
    // for one language's count).
    static SessionStatistics decode(const nlohmann::json& json, std::vector<std::string>* unreadable = nullptr);
};

}  // namespace parloquin
