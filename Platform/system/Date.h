#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// A moment in time as seconds since 2001-01-01 00:00:00 UTC, the reference date of stored
// dates. Kept as the double itself so that a stored moment reads back bit for bit.
class Date {
public:
    // Seconds from 1970-01-01 00:00:00 UTC to the reference date.
    static constexpr double timeIntervalBetween1970AndReferenceDate = 978307200.0;

    struct UTCComponents {
        std::int64_t year;
        int month;   // 1...12
        int day;     // 1...31
        int hour;
        int minute;
        int second;  // whole seconds, the fraction dropped (toward the past)
    };

    constexpr Date() = default;
    constexpr explicit Date(double timeIntervalSinceReferenceDate)
        : timeIntervalSinceReferenceDate_(timeIntervalSinceReferenceDate) {}

    static Date now();
    static constexpr Date fromTimeIntervalSince1970(double seconds) {
        return Date(seconds - timeIntervalBetween1970AndReferenceDate);
    }

    constexpr double timeIntervalSinceReferenceDate() const { return timeIntervalSinceReferenceDate_; }
    constexpr double timeIntervalSince1970() const {
        return timeIntervalSinceReferenceDate_ + timeIntervalBetween1970AndReferenceDate;
    }
    constexpr Date addingTimeInterval(double seconds) const {
        return Date(timeIntervalSinceReferenceDate_ + seconds);
    }

    // The calendar fields in UTC; nothing for a moment that is not finite or lies beyond
    // a hundred million years.
    std::optional<UTCComponents> utcComponents() const;
    // "2026-12-08 01:52:13 +0000"; empty for a moment without UTC components.
    std::string description() const;

    constexpr auto operator<=>(const Date&) const = default;

private:
    double timeIntervalSinceReferenceDate_ = 0;
};

}  // namespace platform
