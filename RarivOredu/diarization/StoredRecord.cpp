#include "RarivOredu/diarization/StoredRecord.h"

#include <charconv>
#include <cmath>

#include "Platform/system/CocoaError.h"

namespace rarivoredu {

using platform::CocoaError;
using platform::JSONExpectation;

namespace {

[[noreturn]] void corrupt(const std::string& description) {
    throw CocoaError::make(CocoaError::coderReadCorrupt, description);
}

[[noreturn]] void notObject(std::string_view record) {
    corrupt("The data couldn't be read: " + std::string(record) + " is not a keyed record");
}

[[noreturn]] void missing(std::string_view record, const char* key) {
    corrupt("The data couldn't be read because it is missing: " + std::string(record) + " has no \"" + key + "\"");
}

const char* expectedText(JSONExpectation expected) {
    switch (expected) {
        case JSONExpectation::number: return "a number";
        case JSONExpectation::integer: return "an integer";
        case JSONExpectation::integerOutOfRange: return "a 64-bit integer";
        case JSONExpectation::string: return "a string";
        case JSONExpectation::uuid: return "a UUID";
        case JSONExpectation::array: return "an array";
        case JSONExpectation::arrayOfNumbers: return "an array of numbers";
    }
    return "readable";
}

[[noreturn]] void wrongKind(std::string_view record, const char* key, JSONExpectation expected) {
    corrupt("The data couldn't be read because it isn't in the correct format: \"" + std::string(key) + "\" of " +
            std::string(record) + " is not " + expectedText(expected));
}

}  // namespace

const platform::JSONReadPolicy& StoredRecord::policy() {
    // An integral float reads as an integer while its magnitude is under 9.2e18.
    static const platform::JSONReadPolicy rules{false, std::nextafter(-9.2e18, 0.0), 9.2e18, notObject, missing,
                                                wrongKind};
    return rules;
}

StoredRecord::Reader StoredRecord::reader(const nlohmann::ordered_json& object, std::string recordName) {
    return Reader(object, std::move(recordName), policy());
}

nlohmann::ordered_json StoredRecord::floatArray(std::span<const float> values) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const float value : values) array.push_back(storedFloat(value));
    return array;
}

double StoredRecord::storedFloat(float value) {
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
