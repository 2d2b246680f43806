#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>

#include "Platform/system/Date.h"
#include "Platform/system/JSONReader.h"
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

// The stores' reading rules: required members fail when missing or null, optional members are
// absent then; an Int accepts integers and integral numbers within 64 bits. Failures throw
// DecodingError with short texts ("Missing key \"id\"", "\"id\" is not a UUID").
const platform::JSONReadPolicy& readPolicy();
using Reader = platform::JSONReader<nlohmann::json>;
// Reads `object`; `what` names it when it is not an object ("Expected a JSON object for <what>").
Reader reader(const nlohmann::json& object, const char* what);

}  // namespace parloquin::json_coding
