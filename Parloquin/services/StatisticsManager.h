#pragma once

#include <QObject>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Parloquin/services/SessionStatistics.h"
#include "Parloquin/services/StoredValueWriter.h"
#include "Platform/system/Calendar.h"
#include "Platform/system/Clock.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

// The cumulative usage statistics, kept in memory and in the user defaults under
// "SessionStatistics" as a compact JSON object. Belongs to the main thread; every change
// emits statisticsChanged() once. Changes are written by the process's StoreWriteQueue, off the
// calling thread; the destructor waits until the last one is written.
class StatisticsManager : public QObject {
    Q_OBJECT

public:
    // Loads the stored statistics. The clock gives "now" for streaks, first and last use, the
    // report and backups; the calendar counts the days of a streak in the user's time zone.
    explicit StatisticsManager(platform::UserDefaults& defaults = platform::UserDefaults::standard(),
                               std::shared_ptr<const platform::Clock> clock = platform::Clock::system(),
                               platform::Calendar calendar = platform::Calendar::current(),
                               QObject* parent = nullptr);

    const SessionStatistics& statistics() const { return statistics_; }
    const std::string& storageKey() const { return writer_.key(); }
    const platform::Calendar& calendar() const { return calendar_; }

    // Adds one finished transcription to the totals, updates the streak, queues the save.
    virtual void recordSession(std::int64_t characters, std::int64_t words, std::optional<std::string> language,
                               std::optional<double> rtf, std::optional<double> inferenceTime, double duration);
    // Every total back to its default, then queues the save.
    virtual void resetStatistics();
    // Reads the stored value. Members that do not decode keep their defaults (and are logged);
    // when any do, or when the value is no JSON object at all, the stored bytes are first backed
    // up under "corrupted_statistics_<seconds since 1970>".
    virtual void loadStatistics();
    // Writes the value and waits for it; true when the stored value reads back as written.
    // Statistics that JSON cannot hold are not stored (logged; nothing is retried).
    virtual bool saveStatistics();
    // Waits until the queued saves are written.
    void flush() const;
    // Pretty-printed JSON with sorted keys and ISO 8601 dates; nothing when it cannot be encoded.
    virtual std::optional<std::string> exportJSON() const;
    // The plain-text report of the totals at this moment.
    virtual std::string generateReport() const;

    // Whole days since the first use, by the clock and calendar of this manager.
    std::int64_t daysSinceFirstUse() const;

    // "59s", "1m 0s", "1h 2m 5s": whole seconds, truncated toward zero; a negative time gets a
    // leading "-" ("-1m 5s").
    static std::string formatDuration(double seconds);

signals:
    void statisticsChanged();

private:
    void setStatistics(SessionStatistics statistics);
    // The stored form, or nothing (logged) when JSON cannot hold the value.
    std::optional<platform::Data> encodeForStorage() const;

    SessionStatistics statistics_;
    StoredValueWriter writer_;
    std::shared_ptr<const platform::Clock> clock_;
    platform::Calendar calendar_;
};

}  // namespace parloquin
