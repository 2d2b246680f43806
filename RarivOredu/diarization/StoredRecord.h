#pragma once

#include <span>
#include <string>

#include <nlohmann/json.hpp>

#include "Platform/system/JSONReader.h"

namespace rarivoredu {

// The rules by which the diarizer's stored records (speakers, their raw embeddings, pipeline
// timings) are written and read. Every key is required and null is a value: a missing key or a
// value of the wrong kind throws NSError (Cocoa domain, coderReadCorrupt) naming the record and
// key. Floats are written in their shortest decimal form ("0.1", not "0.10000000149011612"), which
// reads back to the same float; a NaN or an infinity cannot be stored (coderInvalidValue).
class StoredRecord {
public:
    using Reader = platform::JSONReader<nlohmann::ordered_json>;

    static Reader reader(const nlohmann::ordered_json& object, std::string recordName);
    static const platform::JSONReadPolicy& policy();

    static nlohmann::ordered_json floatArray(std::span<const float> values);
    static double storedFloat(float value);
};

}  // namespace rarivoredu
