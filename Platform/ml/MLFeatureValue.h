#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "Platform/ml/MLMultiArray.h"

namespace platform {

enum class MLFeatureType { invalid, int64, doubleValue, string, multiArray };

const char* name(MLFeatureType type) noexcept;

// One input or output value of a model. A multi-array value refers to its array; copying the
// value does not copy the array.
class MLFeatureValue {
public:
    MLFeatureValue() = default;
    static MLFeatureValue featureValueWithMultiArray(MLMultiArrayPtr array);
    static MLFeatureValue featureValueWithInt64(std::int64_t value);
    static MLFeatureValue featureValueWithDouble(double value);
    static MLFeatureValue featureValueWithString(std::string value);

    MLFeatureType type() const noexcept;
    // The array of a multi-array value; null for any other type.
    const MLMultiArrayPtr& multiArrayValue() const noexcept;
    // Numbers answer 0 and strings "" when the value is of another type.
    std::int64_t int64Value() const noexcept;
    double doubleValue() const noexcept;
    const std::string& stringValue() const noexcept;

private:
    std::variant<std::monostate, std::int64_t, double, std::string, MLMultiArrayPtr> value_;
};

}  // namespace platform
