#include "Platform/ml/MLMultiArrayDataType.h"

#include <cstring>
#include <initializer_list>

namespace platform {

std::size_t elementSize(MLMultiArrayDataType type) noexcept {
    switch (type) {
        case MLMultiArrayDataType::float16: return 2;
        case MLMultiArrayDataType::float64: return 8;
        default: return 4;
    }
}

const char* name(MLMultiArrayDataType type) noexcept {
    switch (type) {
        case MLMultiArrayDataType::float16: return "float16";
        case MLMultiArrayDataType::float32: return "float32";
        case MLMultiArrayDataType::float64: return "float64";
        case MLMultiArrayDataType::int32: return "int32";
    }
    return "unknown";
}

bool parseDataType(const char* text, MLMultiArrayDataType& type) noexcept {
    for (auto candidate : {MLMultiArrayDataType::float16, MLMultiArrayDataType::float32,
                           MLMultiArrayDataType::float64, MLMultiArrayDataType::int32}) {
        if (std::strcmp(text, name(candidate)) == 0) {
            type = candidate;
            return true;
        }
    }
    return false;
}

}  // namespace platform
