#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "Platform/system/Date.h"
#include "Platform/system/JSONReadPolicy.h"
#include "Platform/system/UUID.h"

namespace platform {

// Reads the keyed members of one stored JSON record (nlohmann `json` or `ordered_json`) by the
// rules of a JSONReadPolicy. Required members fail when missing (and, if the policy says so, when
// null); optional members read as absent then. A number accepts any JSON number, an integer any
// integer or integral number the policy admits, a date a number of seconds since 2001-01-01
// 00:00:00 UTC, a UUID its canonical text. Every failure goes through the policy's raisers.
template <class Json>
class JSONReader {
public:
    JSONReader(const Json& object, std::string record, const JSONReadPolicy& policy)
        : object_(object), record_(std::move(record)), policy_(policy) {
        if (!object_.is_object()) failNotObject();
    }

    const Json& member(const char* key) const {
        const auto it = object_.find(key);
        if (it == object_.end() || (policy_.nullIsMissing && it->is_null())) failMissing(key);
        return *it;
    }
    // Null when the member is missing or, under a policy where null is missing, null.
    const Json* optionalMember(const char* key) const {
        const auto it = object_.find(key);
        if (it == object_.end() || (policy_.nullIsMissing && it->is_null())) return nullptr;
        return &*it;
    }

    double number(const char* key) const { return number(member(key), key); }
    std::int64_t integer(const char* key) const { return integer(member(key), key); }
    std::string string(const char* key) const { return string(member(key), key); }
    std::vector<float> floats(const char* key) const { return floats(member(key), key); }
    Date date(const char* key) const { return date(member(key), key); }
    UUID uuid(const char* key) const { return uuid(member(key), key); }
    const Json& array(const char* key) const { return array(member(key), key); }

    // The same rules for a value already taken from the record; `key` names it in a failure.
    double number(const Json& value, const char* key) const {
        if (!value.is_number()) failWrongKind(key, JSONExpectation::number);
        return value.template get<double>();
    }
    std::int64_t integer(const Json& value, const char* key) const {
        if (value.is_number_unsigned()) {
            const auto n = value.template get<std::uint64_t>();
            if (n > static_cast<std::uint64_t>(INT64_MAX)) {
                failWrongKind(key, JSONExpectation::integerOutOfRange);
            }
            return static_cast<std::int64_t>(n);
        }
        if (value.is_number_integer()) return value.template get<std::int64_t>();
        if (value.is_number_float()) {
            const double d = value.template get<double>();
            if (d == std::trunc(d) && d >= policy_.integralLow && d < policy_.integralHigh) {
                return static_cast<std::int64_t>(d);
            }
        }
        failWrongKind(key, JSONExpectation::integer);
    }
    std::string string(const Json& value, const char* key) const {
        if (!value.is_string()) failWrongKind(key, JSONExpectation::string);
        return value.template get<std::string>();
    }
    std::vector<float> floats(const Json& value, const char* key) const {
        if (!value.is_array()) failWrongKind(key, JSONExpectation::arrayOfNumbers);
        std::vector<float> result;
        result.reserve(value.size());
        for (const auto& element : value) {
            if (!element.is_number()) failWrongKind(key, JSONExpectation::arrayOfNumbers);
            result.push_back(static_cast<float>(element.template get<double>()));
        }
        return result;
    }
    Date date(const Json& value, const char* key) const { return Date(number(value, key)); }
    UUID uuid(const Json& value, const char* key) const {
        const auto parsed = UUID::fromString(string(value, key));
        if (!parsed) failWrongKind(key, JSONExpectation::uuid);
        return *parsed;
    }
    const Json& array(const Json& value, const char* key) const {
        if (!value.is_array()) failWrongKind(key, JSONExpectation::array);
        return value;
    }

private:
    // The policy's raisers throw; these say so to the compiler, and end the process should one not.
    [[noreturn]] void failNotObject() const {
        policy_.notObject(record_);
        std::abort();
    }
    [[noreturn]] void failMissing(const char* key) const {
        policy_.missing(record_, key);
        std::abort();
    }
    [[noreturn]] void failWrongKind(const char* key, JSONExpectation expected) const {
        policy_.wrongKind(record_, key, expected);
        std::abort();
    }

    const Json& object_;
    std::string record_;
    const JSONReadPolicy& policy_;
};

}  // namespace platform
