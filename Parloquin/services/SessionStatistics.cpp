#include "Parloquin/services/SessionStatistics.h"

#include <algorithm>
#include <limits>
#include <nlohmann/json.hpp>

namespace parloquin {
namespace {

void addTo(std::int64_t& total, std::int64_t amount) {
    if (__builtin_add_overflow(total, amount, &total))
        total = amount < 0 ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
}

}  // namespace

void SessionStatistics::record(std::int64_t characters, std::int64_t words, std::optional<std::string> language,
                               std::optional<double> rtf, std::optional<double> inferenceTime, double duration,
                               platform::Date now, const platform::Calendar& calendar) {
    addTo(totalRecordings, 1);
    totalDuration += duration;
    addTo(totalCharacters, characters);
    addTo(totalWords, words);
    if (inferenceTime) {
        totalInferenceTime += *inferenceTime;
        if (!fastestInference || *inferenceTime < *fastestInference) fastestInference = inferenceTime;
        if (!slowestInference || *inferenceTime > *slowestInference) slowestInference = inferenceTime;
    }
    if (rtf) {
        totalRTF += *rtf;
        addTo(rtfCount, 1);
    }
    if (language) addTo(languageCount[*language], 1);
    if (!firstUse) firstUse = now;
    if (!lastUse) {
        currentStreak = 1;
    } else {
        const auto days = calendar.wholeDays(*lastUse, now);
        if (!days || *days == 0) {
            currentStreak = std::max<std::int64_t>(currentStreak, 1);
        } else if (*days == 1) {
            addTo(currentStreak, 1);
        } else {  // a gap of two days or more, or the clock went back
            currentStreak = 1;
        }
    }
    // The longest run reached can never be shorter than the one running now.
    longestStreak = std::max(longestStreak, currentStreak);
    lastUse = now;
}

std::int64_t SessionStatistics::daysSinceFirstUse(platform::Date now, const platform::Calendar& calendar) const {
    if (!firstUse) return 0;
    const auto days = calendar.wholeDays(*firstUse, now);
    return days && *days > 0 ? *days : 0;
}

double SessionStatistics::languagePercentage(std::int64_t count) const {
    return static_cast<double>(count) / static_cast<double>(totalRecordings) * 100.0;
}

std::vector<std::pair<std::string, double>> SessionStatistics::languagePercentages() const {
    std::vector<std::pair<std::string, double>> pairs;
    if (totalRecordings < 1) return pairs;
    for (const auto& [code, count] : languageCount) pairs.emplace_back(code, languagePercentage(count));
    std::stable_sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    return pairs;
}

double SessionStatistics::averageDuration() const {
    return totalRecordings < 1 ? 0.0 : totalDuration / static_cast<double>(totalRecordings);
}

double SessionStatistics::averageWords() const {
    return totalRecordings < 1 ? 0.0 : static_cast<double>(totalWords) / static_cast<double>(totalRecordings);
}

double SessionStatistics::wordsPerMinute() const {
    if (totalDuration <= 0 || totalWords < 1) return 0.0;
    return static_cast<double>(totalWords) / (totalDuration / 60.0);
}

double SessionStatistics::typingTimeSaved() const {
    return static_cast<double>(totalWords) / 40.0 * 60.0 - totalDuration;
}

double SessionStatistics::productivityBoost() const {
    const double typingTime = static_cast<double>(totalWords) / 40.0 * 60.0;
    if (typingTime <= 0) return 0.0;
    return (typingTime - totalDuration) / typingTime * 100.0;
}

double SessionStatistics::averageRTF() const {
    return rtfCount < 1 ? 0.0 : totalRTF / static_cast<double>(rtfCount);
}

double SessionStatistics::averageInferenceTime() const {
    return totalRecordings < 1 ? 0.0 : totalInferenceTime / static_cast<double>(totalRecordings);
}

nlohmann::json SessionStatistics::encode(json_coding::DateEncoding dateEncoding) const {
    using namespace json_coding;
    nlohmann::json json = nlohmann::json::object();
    json["totalRecordings"] = totalRecordings;
    json["totalDuration"] = encodeDouble(totalDuration);
    json["totalCharacters"] = totalCharacters;
    json["totalWords"] = totalWords;
    json["totalInferenceTime"] = encodeDouble(totalInferenceTime);
    if (fastestInference) json["fastestInference"] = encodeDouble(*fastestInference);
    if (slowestInference) json["slowestInference"] = encodeDouble(*slowestInference);
    json["totalRTF"] = encodeDouble(totalRTF);
    json["rtfCount"] = rtfCount;
    json["languageCount"] = nlohmann::json::object();
    for (const auto& [code, count] : languageCount) json["languageCount"][code] = count;
    if (firstUse) json["firstUse"] = encodeDate(*firstUse, dateEncoding);
    if (lastUse) json["lastUse"] = encodeDate(*lastUse, dateEncoding);
    json["sessionsCount"] = sessionsCount;
    json["currentStreak"] = currentStreak;
    json["longestStreak"] = longestStreak;
    return json;
}

SessionStatistics SessionStatistics::decode(const nlohmann::json& json, std::vector<std::string>* unreadable) {
    using namespace json_coding;
    const auto fields = reader(json, "the statistics");
    // Reads one member; where the caller takes what it can, one that fails is listed and skipped.
    const auto read = [unreadable](const std::string& key, const auto& decodeMember) {
        try {
            decodeMember();
        } catch (const DecodingError&) {
            if (!unreadable) throw;
            unreadable->push_back(key);
        }
    };
    SessionStatistics s;
    const auto int64 = [&](const char* key, std::int64_t& field) {
        read(key, [&] { field = fields.integer(key); });
    };
    const auto number = [&](const char* key, double& field) {
        read(key, [&] { field = fields.number(key); });
    };
    const auto optionalNumber = [&](const char* key, std::optional<double>& field) {
        read(key, [&] {
            if (auto* value = fields.optionalMember(key)) field = fields.number(*value, key);
        });
    };
    const auto optionalDate = [&](const char* key, std::optional<platform::Date>& field) {
        read(key, [&] {
            if (auto* value = fields.optionalMember(key)) field = fields.date(*value, key);
        });
    };
    int64("totalRecordings", s.totalRecordings);
    number("totalDuration", s.totalDuration);
    int64("totalCharacters", s.totalCharacters);
    int64("totalWords", s.totalWords);
    number("totalInferenceTime", s.totalInferenceTime);
    optionalNumber("fastestInference", s.fastestInference);
    optionalNumber("slowestInference", s.slowestInference);
    number("totalRTF", s.totalRTF);
    int64("rtfCount", s.rtfCount);
    read("languageCount", [&] {
        const auto& languages = fields.member("languageCount");
        const auto counts = reader(languages, "\"languageCount\"");
        for (const auto& [code, count] : languages.items()) {
            read("languageCount." + code, [&] { s.languageCount[code] = counts.integer(count, "languageCount"); });
        }
    });
    optionalDate("firstUse", s.firstUse);
    optionalDate("lastUse", s.lastUse);
    int64("sessionsCount", s.sessionsCount);
    int64("currentStreak", s.currentStreak);
    int64("longestStreak", s.longestStreak);
    return s;
}

}  // namespace parloquin
