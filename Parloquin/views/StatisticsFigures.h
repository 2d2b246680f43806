#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Parloquin/services/AlertPresenter.h"
#include "Parloquin/services/SessionStatistics.h"
#include "Parloquin/views/LanguageBar.h"
#include "Parloquin/views/MetricCard.h"

namespace parloquin {

// What the page "Statistiken" shows of the totals, without its widgets: the cards of its three
// grids, the time saved against typing, the language bars, and which content to show at all.
// Numbers in the C locale.
struct StatisticsFigures {
    static constexpr const char* title = "STATISTIKEN";
    static constexpr const char* subtitle = "Nutzungsstatistiken und Produktivitätsmetriken";
    static constexpr const char* privacyNote = "Neue Transkriptionen werden nicht in Statistiken erfasst";

    enum class Content { loading, empty, full };
    // Recordings show at once; with none, the loading placeholder until loading is over.
    static Content content(bool isLoading, const SessionStatistics& statistics);

    // Whole seconds toward zero: "1h 2m" from an hour on, "2m 5s" from a minute on, else "5s"
    // (also for negative times: "-90s").
    static std::string formatDuration(double seconds);
    // "999", "1.5K", "2.5M".
    static std::string formatCount(std::int64_t count);
    // Times of recognition, which mostly take less than a second: below one second in tenths
    // ("0.4s"; hundredths where tenths would show a non-zero time as "0.0s"), else as durations.
    static std::string formatInferenceTime(double seconds);
    // "1 Tag", "0 Tage", "5 Tage".
    static std::string streakText(std::int64_t days);

    static std::vector<MetricCard> usageCards(const SessionStatistics& statistics);
    // The days card counts the days since the first use and says so in its title.
    static std::vector<MetricCard> speedCards(const SessionStatistics& statistics, std::int64_t daysSinceFirstUse);
    // The fastest and slowest cards only once a recognition time was recorded.
    static std::vector<MetricCard> performanceCards(const SessionStatistics& statistics);

    // The time saved against typing at 40 words per minute, as a duration.
    static std::string timeSavedText(const SessionStatistics& statistics);
    // "66.7% Produktivitätssteigerung", only when speaking saved time.
    static std::optional<std::string> productivityGainText(const SessionStatistics& statistics);
    // Largest share first; empty without recordings.
    static std::vector<LanguageBar> languageBars(const SessionStatistics& statistics);
    // Asks before the totals go; "Zurücksetzen" is its first button.
    static Alert resetConfirmation();
};

}  // namespace parloquin
