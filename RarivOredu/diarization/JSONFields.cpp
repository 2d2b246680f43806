#include "RarivOredu/diarization/JSONFields.h"

#include <charconv>
#include <cmath>

#include "Platform/system/CocoaError.h"

namespace rarivoredu {

using platform::CocoaError;

namespace {

[[noreturn]] void corrupt(const std::string& description) {
    throw CocoaError::make(CocoaError::coderReadCorrupt, description);
}

}  // namespace

JSONFields::JSONFields(const nlohmann::ordered_json& object, std::string recordName)
    : object_(object), recordName_(std::move(recordName)) {
    if (!object_.is_object()) corrupt("The data couldn't be read: " + recordName_ + " is not a keyed record");
}

const nlohmann::ordered_json& JSONFields::field(const char* key) const {
    const auto it = object_.find(key);
    if (it == object_.end()) {
        corrupt("The data couldn't be read because it is missing: " + recordName_ + " has no \"" + key + "\"");
    }
    return *it;
}

void JSONFields::wrongKind(const char* key, const char* expected) const {
    corrupt("The data couldn't be read because it isn't in the correct format: \"" + std::string(key) + "\" of " +
            recordName_ + " is not " + expected);
}

double JSONFields::number(const char* key) const {
    const auto& value = field(key);
    if (!value.is_number()) wrongKind(key, "a number");
    return value.get<double>();
}

std::int64_t JSONFields::integer(const char* key) const {
    const auto& value = field(key);
    if (value.is_number_integer()) {
        if (value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)) {
            wrongKind(key, "a 64-bit integer");
        }
        return value.get<std::int64_t>();
    }
    if (value.is_number_float()) {
        const double number = value.get<double>();
        if (std::trunc(number) == number && std::abs(number) < 9.2e18) return static_cast<std::int64_t>(number);
    }
    wrongKind(key, "an integer");
}

std::string JSONFields::string(const char* key) const {
    const auto& value = field(key);
    if (!value.is_string()) wrongKind(key, "a string");
    return value.get<std::string>();
}

std::vector<float> JSONFields::floats(const char* key) const {
    const auto& value = field(key);
    if (!value.is_array()) wrongKind(key, "an array of numbers");
    std::vector<float> result;
    result.reserve(value.size());
    for (const auto& element : value) {
        if (!element.is_number()) wrongKind(key, "an array of numbers");
        result.push_back(static_cast<float>(element.get<double>()));
    }
    return result;
}

platform::Date JSONFields::date(const char* key) const { return platform::Date(number(key)); }

platform::UUID JSONFields::uuid(const char* key) const {
    const auto parsed = platform::UUID::fromString(string(key));
    if (!parsed) wrongKind(key, "a UUID");
    return *parsed;
}

const nlohmann::ordered_json& JSONFields::array(const char* key) const {
    const auto& value = field(key);
    if (!value.is_array()) wrongKind(key, "an array");
    return value;
}

nlohmann::ordered_json JSONFields::floatArray(std::span<const float> values) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const float value : values) array.push_back(storedFloat(value));
    return array;
}

double JSONFields::storedFloat(float value) {
    if (!std::isfinite(value)) {
        throw CocoaError::make(CocoaError::coderInvalidValue,
                               "The data couldn't be written: a stored value is NaN or an infinity");
    }
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    double shortest = value;
    std::from_chars(text, written.ptr, shortest);
    return shortest;
}

}  // namespace rarivoredu
