#pragma once

#include <string>

#include "Platform/ml/MLMultiArray.h"
#include "Platform/ml/MLMultiArrayDataType.h"

namespace rarivoredu {

// A shape written as an array: "[1, 640, 1]".
std::string shapeArrayText(const platform::MLMultiArray::Shape& shape);
// A data type's name as the error messages of the decoder show it.
std::string dataTypeText(platform::MLMultiArrayDataType type);

}  // namespace rarivoredu
