#include "Parloquin/services/JSONCoding.h"

#include <cmath>

#include "Platform/system/ISO8601DateFormatter.h"

namespace parloquin::json_coding {

nlohmann::json encodeDouble(double value) {
    if (!std::isfinite(value)) throw EncodingError("A number that is not finite cannot be written as JSON");
    return value;
}

nlohmann::json encodeDate(platform::Date date, DateEncoding encoding) {
    if (encoding == DateEncoding::secondsSinceReferenceDate) return encodeDouble(date.timeIntervalSinceReferenceDate());
    auto text = platform::ISO8601DateFormatter::string(date);
    if (!text) throw EncodingError("A date without a calendar date cannot be written as ISO 8601");
    return *text;
}

void requireObject(const nlohmann::json& value, const char* what) {
    if (!value.is_object()) throw DecodingError(std::string("Expected a JSON object for ") + what);
}

const nlohmann::json& requiredMember(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) throw DecodingError(std::string("Missing key \"") + key + "\"");
    return *it;
}

const nlohmann::json* optionalMember(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) return nullptr;
    return &*it;
}

double decodeDouble(const nlohmann::json& value, const char* key) {
    if (!value.is_number()) throw DecodingError(std::string("\"") + key + "\" is not a number");
    return value.get<double>();
}

std::int64_t decodeInt64(const nlohmann::json& value, const char* key) {
    const std::string fail = std::string("\"") + key + "\" is not a 64-bit integer";
    switch (value.type()) {
        case nlohmann::json::value_t::number_integer: return value.get<std::int64_t>();
        case nlohmann::json::value_t::number_unsigned: {
            const auto n = value.get<std::uint64_t>();
            if (n > static_cast<std::uint64_t>(INT64_MAX)) throw DecodingError(fail);
            return static_cast<std::int64_t>(n);
        }
        case nlohmann::json::value_t::number_float: {
            const double d = value.get<double>();
            if (d != std::trunc(d) || !(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) {
                throw DecodingError(fail);
            }
            return static_cast<std::int64_t>(d);
        }
        default: throw DecodingError(fail);
    }
}

std::string decodeString(const nlohmann::json& value, const char* key) {
    if (!value.is_string()) throw DecodingError(std::string("\"") + key + "\" is not a string");
    return value.get<std::string>();
}

platform::Date decodeDate(const nlohmann::json& value, const char* key) {
    return platform::Date(decodeDouble(value, key));
}

platform::UUID decodeUUID(const nlohmann::json& value, const char* key) {
    auto uuid = platform::UUID::fromString(decodeString(value, key));
    if (!uuid) throw DecodingError(std::string("\"") + key + "\" is not a UUID");
    return *uuid;
}

}  // namespace parloquin::json_coding
