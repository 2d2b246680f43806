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

namespace {

[[noreturn]] void notObject(std::string_view what) {
    throw DecodingError("Expected a JSON object for " + std::string(what));
}

[[noreturn]] void missing(std::string_view, const char* key) {
    throw DecodingError(std::string("Missing key \"") + key + "\"");
}

const char* expectedText(platform::JSONExpectation expected) {
    switch (expected) {
        case platform::JSONExpectation::number: return "a number";
        case platform::JSONExpectation::integer:
        case platform::JSONExpectation::integerOutOfRange: return "a 64-bit integer";
        case platform::JSONExpectation::string: return "a string";
        case platform::JSONExpectation::uuid: return "a UUID";
        case platform::JSONExpectation::array: return "an array";
        case platform::JSONExpectation::arrayOfNumbers: return "an array of numbers";
    }
    return "readable";
}

[[noreturn]] void wrongKind(std::string_view, const char* key, platform::JSONExpectation expected) {
    throw DecodingError(std::string("\"") + key + "\" is not " + expectedText(expected));
}

}  // namespace

const platform::JSONReadPolicy& readPolicy() {
    static const platform::JSONReadPolicy rules{true, -9223372036854775808.0, 9223372036854775808.0, notObject,
                                                missing, wrongKind};
    return rules;
}

Reader reader(const nlohmann::json& object, const char* what) { return Reader(object, what, readPolicy()); }

}  // namespace parloquin::json_coding
