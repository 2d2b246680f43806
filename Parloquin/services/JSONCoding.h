#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>

#include "Platform/system/Date.h"
#include "Platform/system/UUID.h"

// The rules by which the stores write their values as JSON and read them back.
namespace parloquin::json_coding {

enum class DateEncoding {
    secondsSinceReferenceDate,  // a number of seconds since 2001-01-01 00:00:00 UTC (stored form)
    iso8601,                    // "2026-12-08T01:52:13Z" (exports)
};

// A value that JSON cannot hold (a number that is not finite, a date without a calendar date).
class EncodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A stored value that does not have the expected shape.
class DecodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

nlohmann::json encodeDouble(double value);
nlohmann::json encodeDate(platform::Date date, DateEncoding encoding);

// Required members: missing or null fails. A Double accepts any JSON number; an Int accepts
// integers and integral numbers within 64 bits; a date is a number of seconds since 2001.
const nlohmann::json& requiredMember(const nlohmann::json& object, const char* key);
// Optional members: missing or null is absent.
const nlohmann::json* optionalMember(const nlohmann::json& object, const char* key);

double decodeDouble(const nlohmann::json& value, const char* key);
std::int64_t decodeInt64(const nlohmann::json& value, const char* key);
std::string decodeString(const nlohmann::json& value, const char* key);
platform::Date decodeDate(const nlohmann::json& value, const char* key);
platform::UUID decodeUUID(const nlohmann::json& value, const char* key);

void requireObject(const nlohmann::json& value, const char* what);

}  // namespace parloquin::json_coding
