#pragma once

#include <string>

namespace platform {

// A time zone named by its tz database identifier ("Europe/Berlin", "UTC").
class TimeZone {
public:
    // Throws std::invalid_argument when the identifier names no known zone.
    explicit TimeZone(std::string identifier);

    // The zone of this machine's clock: $TZ when set, else /etc/localtime; UTC when neither
    // names a known zone.
    static TimeZone current();
    static TimeZone utc();

    const std::string& identifier() const { return identifier_; }

    bool operator==(const TimeZone&) const = default;

private:
    struct Trusted {};
    TimeZone(std::string identifier, Trusted) : identifier_(std::move(identifier)) {}

    std::string identifier_;
};

}  // namespace platform
