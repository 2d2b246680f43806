#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Platform/system/Date.h"
#include "Platform/system/UUID.h"

namespace rarivoredu {

// Reads the keyed fields of one stored record. Every key is required: a missing key or a value
// of the wrong kind throws NSError (Cocoa domain, coderReadCorrupt) naming the record and key.
// Dates are stored as seconds since 2001-01-01 00:00:00 UTC, UUIDs as their canonical text.
class JSONFields {
public:
    JSONFields(const nlohmann::ordered_json& object, std::string recordName);

    double number(const char* key) const;
    std::int64_t integer(const char* key) const;
    std::string string(const char* key) const;
    std::vector<float> floats(const char* key) const;
    platform::Date date(const char* key) const;
    platform::UUID uuid(const char* key) const;
    const nlohmann::ordered_json& array(const char* key) const;

    // A float array as stored: each value in its shortest decimal form ("0.1", not
    // "0.10000000149011612"), which reads back to the same float. A NaN or an infinity cannot be
    // stored: throws NSError (Cocoa domain, coderInvalidValue).
    static nlohmann::ordered_json floatArray(std::span<const float> values);
    static double storedFloat(float value);

private:
    const nlohmann::ordered_json& field(const char* key) const;
    [[noreturn]] void wrongKind(const char* key, const char* expected) const;

    const nlohmann::ordered_json& object_;
    std::string recordName_;
};

}  // namespace rarivoredu
