#include "Platform/ml/MLFeatureValue.h"

namespace platform {

const char* name(MLFeatureType type) noexcept {
    switch (type) {
        case MLFeatureType::invalid: return "invalid";
        case MLFeatureType::int64: return "int64";
        case MLFeatureType::doubleValue: return "double";
        case MLFeatureType::string: return "string";
        case MLFeatureType::multiArray: return "multiArray";
    }
    return "invalid";
}

MLFeatureValue MLFeatureValue::featureValueWithMultiArray(MLMultiArrayPtr array) {
    MLFeatureValue v;
    if (array) v.value_ = std::move(array);
    return v;
}

MLFeatureValue MLFeatureValue::featureValueWithInt64(std::int64_t value) {
    MLFeatureValue v;
    v.value_ = value;
    return v;
}

MLFeatureValue MLFeatureValue::featureValueWithDouble(double value) {
    MLFeatureValue v;
    v.value_ = value;
    return v;
}

MLFeatureValue MLFeatureValue::featureValueWithString(std::string value) {
    MLFeatureValue v;
    v.value_ = std::move(value);
    return v;
}

MLFeatureType MLFeatureValue::type() const noexcept {
    switch (value_.index()) {
        case 1: return MLFeatureType::int64;
        case 2: return MLFeatureType::doubleValue;
        case 3: return MLFeatureType::string;
        case 4: return MLFeatureType::multiArray;
        default: return MLFeatureType::invalid;
    }
}

const MLMultiArrayPtr& MLFeatureValue::multiArrayValue() const noexcept {
    static const MLMultiArrayPtr none;
    if (const auto* p = std::get_if<MLMultiArrayPtr>(&value_)) return *p;
    return none;
}

std::int64_t MLFeatureValue::int64Value() const noexcept {
    if (const auto* p = std::get_if<std::int64_t>(&value_)) return *p;
    if (const auto* p = std::get_if<double>(&value_)) return static_cast<std::int64_t>(*p);
    return 0;
}

double MLFeatureValue::doubleValue() const noexcept {
    if (const auto* p = std::get_if<double>(&value_)) return *p;
    if (const auto* p = std::get_if<std::int64_t>(&value_)) return static_cast<double>(*p);
    return 0;
}

const std::string& MLFeatureValue::stringValue() const noexcept {
    static const std::string none;
    if (const auto* p = std::get_if<std::string>(&value_)) return *p;
    return none;
}

}  // namespace platform
