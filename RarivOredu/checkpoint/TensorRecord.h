#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Platform/ml/MLMultiArray.h"
#include "RarivOredu/checkpoint/FileRegion.h"

namespace rarivoredu {

// One tensor of a checkpoint: where its elements lie in a storage record. The numbers are read
// only when the tensor is converted, so a record costs no memory for its data.
struct TensorRecord {
    enum class DType { float32, float16, bfloat16, float64, int64, int32, int16, int8, uint8, boolean };

    DType dtype = DType::float32;
    std::vector<std::int64_t> shape;
    // In elements, one per dimension.
    std::vector<std::int64_t> strides;
    // Elements from the start of the storage to the tensor's first element.
    std::int64_t storageOffset = 0;
    // The storage's name in the checkpoint ("0", "1", …); tensors sharing a storage share the key.
    std::string storageKey;
    // The storage's bytes, little-endian.
    FileRegion storage;
    // The checksum the storage's zip record carries. A conversion that reads the whole record
    // compares it (CheckpointError::malformed on a mismatch): a damaged download is then refused
    // instead of imported with wrong weights. Views of part of a storage go unchecked.
    std::optional<std::uint32_t> storageCrc32;

    // The product of the shape (1 for a scalar); CheckpointError::malformed when that overflows.
    std::int64_t numel() const;

    // A contiguous float32 copy honouring the strides and the offset; float16, bfloat16, float64
    // and integers are converted. Throws CheckpointError: unsupported for bool, truncated when the
    // storage holds fewer elements than the tensor reaches, malformed for negative sizes or
    // strides and for a checksum mismatch. Reads only the span of the storage the tensor covers.
    platform::MLMultiArrayPtr toFloat32() const;
    // The elements in row-major order as integers; for integer and bool tensors (floating
    // tensors throw CheckpointError::unsupported).
    std::vector<std::int64_t> toInt64() const;

    // Bytes per element.
    static std::size_t elementSize(DType dtype) noexcept;
    // "float32", "float16", "bfloat16", "float64", "int64", "int32", "int16", "int8", "uint8", "bool".
    static const char* name(DType dtype) noexcept;
};

}  // namespace rarivoredu
