#include "Parloquin/services/StatisticsManager.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "Parloquin/services/BackupCorruptedData.h"
#include "Platform/text/NumberFormat.h"

namespace parloquin {
namespace {

std::string upperCasedASCII(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

}  // namespace

StatisticsManager::StatisticsManager(platform::UserDefaults& defaults, std::shared_ptr<const platform::Clock> clock,
                                     platform::Calendar calendar, QObject* parent)
    : QObject(parent),
      writer_(defaults, "SessionStatistics", "StatisticsManager"),
      clock_(std::move(clock)),
      calendar_(std::move(calendar)) {
    loadStatistics();
}

void StatisticsManager::setStatistics(SessionStatistics statistics) {
    statistics_ = std::move(statistics);
    emit statisticsChanged();
}

void StatisticsManager::recordSession(std::int64_t characters, std::int64_t words, std::optional<std::string> language,
                                      std::optional<double> rtf, std::optional<double> inferenceTime,
                                      double duration) {
    SessionStatistics next = statistics_;
    next.record(characters, words, std::move(language), rtf, inferenceTime, duration, clock_->now(), calendar_);
    setStatistics(std::move(next));
    if (auto bytes = encodeForStorage()) writer_.save(std::move(*bytes));
}

void StatisticsManager::resetStatistics() {
    setStatistics(SessionStatistics{});
    if (auto bytes = encodeForStorage()) writer_.save(std::move(*bytes));
}

void StatisticsManager::loadStatistics() {
    const auto data = writer_.defaults().dataForKey(storageKey());
    if (!data) return;
    std::vector<std::string> unreadable;
    SessionStatistics statistics;
    try {
        statistics = SessionStatistics::decode(nlohmann::json::parse(data->begin(), data->end()), &unreadable);
    } catch (const std::exception&) {  // not JSON, or not an object
        backupCorruptedData(writer_.defaults(), *data, "statistics", clock_->now());
        setStatistics(SessionStatistics{});
        return;
    }
    // The rest is kept; the stored bytes, with what did not decode, are kept aside.
    if (!unreadable.empty()) {
        std::string keys;
        for (const auto& key : unreadable) keys += (keys.empty() ? "" : ", ") + key;
        writer_.logger().log(platform::OSLogType::error,
                             "Stored statistics members that did not decode start from their defaults: " + keys);
        backupCorruptedData(writer_.defaults(), *data, "statistics", clock_->now());
    }
    setStatistics(std::move(statistics));
}

std::optional<platform::Data> StatisticsManager::encodeForStorage() const {
    try {
        const std::string text = statistics_.encode(json_coding::DateEncoding::secondsSinceReferenceDate).dump();
        return platform::Data(text.begin(), text.end());
    } catch (const std::exception& error) {  // a number JSON cannot hold, or a code that is not UTF-8
        writer_.logger().log(platform::OSLogType::error,
                             std::string("The statistics cannot be stored: ") + error.what());
        return std::nullopt;
    }
}

bool StatisticsManager::saveStatistics() {
    auto bytes = encodeForStorage();
    return bytes && writer_.saveAndWait(std::move(*bytes));
}

void StatisticsManager::flush() const { writer_.flush(); }

std::optional<std::string> StatisticsManager::exportJSON() const {
    try {
        return statistics_.encode(json_coding::DateEncoding::iso8601).dump(2);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::int64_t StatisticsManager::daysSinceFirstUse() const {
    return statistics_.daysSinceFirstUse(clock_->now(), calendar_);
}

std::string StatisticsManager::formatDuration(double seconds) {
    if (std::isnan(seconds)) seconds = 0;
    const double limit = 9.0e18;  // well inside 64 bits
    const double truncated = std::trunc(std::clamp(seconds, -limit, limit));
    if (truncated < 0) return "-" + formatDuration(-truncated);
    const auto s = static_cast<std::int64_t>(truncated);
    if (s < 60) return std::to_string(s) + "s";
    if (s < 3600) return std::to_string(s / 60) + "m " + std::to_string(s % 60) + "s";
    return std::to_string(s / 3600) + "h " + std::to_string(s % 3600 / 60) + "m " + std::to_string(s % 60) + "s";
}

std::string StatisticsManager::generateReport() const {
    const SessionStatistics& s = statistics_;
    std::string r;
    const auto line = [&r](const std::string& text) {
        r += text;
        r += '\n';
    };
    line("Parloquin Statistics Report");
    line("Generated: " + clock_->now().description());
    line(std::string(50, '='));
    line("");
    line("USAGE METRICS");
    line("Total Recordings: " + std::to_string(s.totalRecordings));
    line("Total Duration: " + formatDuration(s.totalDuration));
    line("Total Characters: " + std::to_string(s.totalCharacters));
    line("Total Words: " + std::to_string(s.totalWords));
    line("Average Duration: " + formatDuration(s.averageDuration()));
    line("Average Words: " + platform::formatFixed(s.averageWords(), 1));
    line("");
    line("PRODUCTIVITY");
    line("Speaking Speed: " + platform::formatFixed(s.wordsPerMinute(), 0) + " WPM");
    line("Typing Time Saved: " + formatDuration(s.typingTimeSaved()));
    line("Productivity Boost: " + platform::formatFixed(s.productivityBoost(), 1) + "%");
    line("");
    line("PERFORMANCE");
    line("Average RTF: " + platform::formatFixed(s.averageRTF(), 4));
    line("Average Inference: " + formatDuration(s.averageInferenceTime()));
    if (s.fastestInference) line("Fastest Inference: " + formatDuration(*s.fastestInference));
    if (s.slowestInference) line("Slowest Inference: " + formatDuration(*s.slowestInference));
    line("");
    const auto languages = s.languagePercentages();
    if (!languages.empty()) {
        line("LANGUAGES");
        for (const auto& [code, percentage] : languages) {
            line(upperCasedASCII(code) + ": " + platform::formatFixed(percentage, 1) + "%");
        }
    }
    return r;
}

}  // namespace parloquin
