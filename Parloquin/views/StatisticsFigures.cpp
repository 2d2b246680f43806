#include "Parloquin/views/StatisticsFigures.h"

#include <algorithm>
#include <cmath>

#include "Parloquin/views/HistoryListing.h"
#include "Parloquin/views/TypingComparison.h"
#include "Platform/text/NumberFormat.h"

namespace parloquin {

using platform::formatFixed;
using Tint = MetricCard::Tint;

StatisticsFigures::Content StatisticsFigures::content(bool isLoading, const SessionStatistics& statistics) {
    if (statistics.totalRecordings != 0) return Content::full;
    return isLoading ? Content::loading : Content::empty;
}

std::string StatisticsFigures::formatDuration(double seconds) {
    // Truncated toward zero, held inside the 64-bit range; not a number counts as zero.
    const double whole = std::isnan(seconds) ? 0.0 : std::trunc(std::clamp(seconds, -9.2e18, 9.2e18));
    const auto n = static_cast<std::int64_t>(whole);
    if (n >= 3600) return std::to_string(n / 3600) + "h " + std::to_string((n % 3600) / 60) + "m";
    if (n >= 60) return std::to_string(n / 60) + "m " + std::to_string(n % 60) + "s";
    return std::to_string(n) + "s";
}

std::string StatisticsFigures::formatCount(std::int64_t count) {
    if (count < 1000) return std::to_string(count);
    if (count < 1000000) return formatFixed(static_cast<double>(count) / 1000.0, 1) + "K";
    return formatFixed(static_cast<double>(count) / 1000000.0, 1) + "M";
}

std::string StatisticsFigures::formatInferenceTime(double seconds) {
    if (!(seconds > 0 && seconds < 1)) return formatDuration(seconds);
    const std::string tenths = formatFixed(seconds, 1);
    return (tenths == "0.0" ? formatFixed(seconds, 2) : tenths) + "s";
}

std::string StatisticsFigures::streakText(std::int64_t days) {
    return std::to_string(days) + (days == 1 ? " Tag" : " Tage");
}

std::vector<MetricCard> StatisticsFigures::usageCards(const SessionStatistics& statistics) {
    return {
        {"Gesamte Aufnahmen", std::to_string(statistics.totalRecordings), "mic.circle.fill", Tint::blue, {}},
        {"Gesamtdauer", formatDuration(statistics.totalDuration), "clock.fill", Tint::green, {}},
        {"Gesamte Wörter", formatCount(statistics.totalWords), "text.bubble.fill", Tint::purple, {}},
        {"Durchschnittliche Länge", formatDuration(statistics.averageDuration()), "waveform", Tint::orange, {}},
    };
}

std::vector<MetricCard> StatisticsFigures::speedCards(const SessionStatistics& statistics,
                                                      std::int64_t daysSinceFirstUse) {
    return {
        {"Sprechgeschwindigkeit", formatFixed(statistics.wordsPerMinute(), 0) + " WPM", "speedometer", Tint::blue, {}},
        {"Wörter/Aufnahme", formatFixed(statistics.averageWords(), 0), "text.word.spacing", Tint::purple, {}},
        {"Tage seit erster Nutzung", std::to_string(daysSinceFirstUse), "calendar", Tint::green, {}},
        {"Aktuelle Serie", streakText(statistics.currentStreak), "flame.fill", Tint::orange, {}},
    };
}

std::vector<MetricCard> StatisticsFigures::performanceCards(const SessionStatistics& statistics) {
    std::vector<MetricCard> cards = {
        {"Durchschn. RTF", formatFixed(statistics.averageRTF(), 4), "gauge", Tint::cyan, "Echtzeit-Faktor"},
        {"Durchschn. Inferenz", formatInferenceTime(statistics.averageInferenceTime()), "brain", Tint::indigo, {}},
    };
    if (statistics.fastestInference)
        cards.push_back({"Schnellste", formatInferenceTime(*statistics.fastestInference), "hare.fill", Tint::green, {}});
    if (statistics.slowestInference)
        cards.push_back(
            {"Langsamste", formatInferenceTime(*statistics.slowestInference), "tortoise.fill", Tint::gray, {}});
    return cards;
}

std::string StatisticsFigures::timeSavedText(const SessionStatistics& statistics) {
    return formatDuration(statistics.typingTimeSaved());
}

std::optional<std::string> StatisticsFigures::productivityGainText(const SessionStatistics& statistics) {
    const double typingTime = TypingComparison::typingTime(statistics.totalWords);
    const double gain = statistics.productivityBoost();
    if (!(typingTime > 0) || !(gain > 0)) return std::nullopt;
    return formatFixed(gain, 1) + "% Produktivitätssteigerung";
}

std::vector<LanguageBar> StatisticsFigures::languageBars(const SessionStatistics& statistics) {
    std::vector<LanguageBar> bars;
    for (const auto& [code, percentage] : statistics.languagePercentages()) {
        const auto count = statistics.languageCount.find(code);
        bars.push_back({HistoryListing::displayLanguage(code), percentage,
                        count == statistics.languageCount.end() ? 0 : count->second});
    }
    return bars;
}

Alert StatisticsFigures::resetConfirmation() {
    Alert alert;
    alert.style = AlertStyle::warning;
    alert.messageText = "Statistiken zurücksetzen";
    alert.informativeText =
        "Bist du sicher, dass du alle Statistiken zurücksetzen möchtest? Dies kann nicht rückgängig gemacht werden.";
    alert.buttons = {"Zurücksetzen", "Abbrechen"};
    alert.destructive = true;
    return alert;
}

}  // namespace parloquin
