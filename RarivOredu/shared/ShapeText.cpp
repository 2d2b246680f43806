#include "RarivOredu/shared/ShapeText.h"

namespace rarivoredu {

std::string shapeArrayText(const platform::MLMultiArray::Shape& shape) {
    std::string text = "[";
    for (std::size_t i = 0; i < shape.size(); ++i) {
        if (i) text += ", ";
        text += std::to_string(shape[i]);
    }
    return text + "]";
}

std::string dataTypeText(platform::MLMultiArrayDataType type) { return platform::name(type); }

}  // namespace rarivoredu
