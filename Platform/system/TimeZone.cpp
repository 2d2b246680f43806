#include "Platform/system/TimeZone.h"

#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <memory>
#include <optional>
#include <stdexcept>

namespace platform {
namespace {

std::optional<std::string> knownIdentifier(const icu::TimeZone& zone) {
    if (zone == icu::TimeZone::getUnknown()) return std::nullopt;
    icu::UnicodeString id;
    zone.getID(id);
    std::string text;
    id.toUTF8String(text);
    return text;
}

}  // namespace

TimeZone::TimeZone(std::string identifier) : identifier_(std::move(identifier)) {
    const std::unique_ptr<icu::TimeZone> zone(
        icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(identifier_)));
    if (!zone || !knownIdentifier(*zone)) {
        throw std::invalid_argument("Unknown time zone \"" + identifier_ + "\"");
    }
}

TimeZone TimeZone::current() {
    const std::unique_ptr<icu::TimeZone> host(icu::TimeZone::detectHostTimeZone());
    if (host) {
        if (auto id = knownIdentifier(*host)) return TimeZone(std::move(*id), Trusted{});
    }
    return utc();
}

TimeZone TimeZone::utc() { return TimeZone("UTC", Trusted{}); }

}  // namespace platform
