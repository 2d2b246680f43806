#include "RarivOredu/checkpoint/TensorRecord.h"

#include <zlib.h>

#include <bit>
#include <cstring>
#include <limits>

#include "Platform/ml/Float16.h"
#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/shared/ShapeText.h"

namespace rarivoredu {
namespace {

static_assert(std::endian::native == std::endian::little, "storages are read as little-endian");

// Tensors whose strides repeat storage elements (zero or overlapping strides, as expand() and
// as_strided() make) may hold more elements than their storage, up to this many.
constexpr std::int64_t maxRepeatedElements = std::int64_t{1} << 24;
// More dimensions than this are no tensor of a model.
constexpr std::size_t maxRank = 16;

std::string describe(const TensorRecord& record) {
    return std::string("tensor of storage ") + (record.storageKey.empty() ? "?" : record.storageKey) + " (shape " +
           shapeArrayText(record.shape) + ")";
}

// The storage elements a tensor reaches: [first, first + count); numel is the tensor's own count.
struct Span {
    std::int64_t first = 0;
    std::int64_t count = 0;
    std::int64_t numel = 0;
};

// Every element count and reach is computed with overflow checks; a tensor may hold more
// elements than its storage backs only when it repeats a few of them (a bounded expand).
Span spanOf(const TensorRecord& record) {
    if (record.shape.size() != record.strides.size() || record.storageOffset < 0 || record.shape.size() > maxRank)
        throw CheckpointError::malformed(describe(record));
    std::int64_t numel = 1;
    std::int64_t last = record.storageOffset;
    for (std::size_t i = 0; i < record.shape.size(); ++i) {
        const std::int64_t size = record.shape[i];
        const std::int64_t stride = record.strides[i];
        if (size < 0 || stride < 0) throw CheckpointError::malformed(describe(record));
        if (__builtin_mul_overflow(numel, size, &numel)) throw CheckpointError::malformed(describe(record));
    }
    if (numel == 0) return Span{record.storageOffset, 0, 0};
    for (std::size_t i = 0; i < record.shape.size(); ++i) {
        std::int64_t reach = 0;
        if (__builtin_mul_overflow(record.shape[i] - 1, record.strides[i], &reach) ||
            __builtin_add_overflow(last, reach, &last))
            throw CheckpointError::malformed(describe(record));
    }
    const std::int64_t count = last - record.storageOffset + 1;
    if (numel > count && numel > maxRepeatedElements)
        throw CheckpointError::unsupported(describe(record) + " repeats its storage too often");
    return Span{record.storageOffset, count, numel};
}

// Throws truncated when the storage record holds fewer elements than the span reaches.
void checkStorage(const TensorRecord& record, const Span& span) {
    if (span.count == 0) return;
    const std::size_t width = TensorRecord::elementSize(record.dtype);
    const std::uint64_t elements = record.storage.size() / width;
    if (static_cast<std::uint64_t>(span.first) > elements ||
        static_cast<std::uint64_t>(span.count) > elements - static_cast<std::uint64_t>(span.first))
        throw CheckpointError::truncated(record.storage.name() + " (" + std::to_string(elements) +
                                         " elements for a tensor reaching element " +
                                         std::to_string(span.first + span.count) + ")");
}

// Compares the record's checksum when the bytes read are the whole record.
void verify(const TensorRecord& record, const Span& span, const void* bytes) {
    if (!record.storageCrc32 || span.first != 0) return;
    const std::size_t size = static_cast<std::size_t>(span.count) * TensorRecord::elementSize(record.dtype);
    if (size != record.storage.size()) return;
    if (::crc32_z(0, static_cast<const Bytef*>(bytes), size) != *record.storageCrc32)
        throw CheckpointError::malformed(record.storage.name() + " (CRC-32 mismatch: the file is damaged)");
}

std::string readSpan(const TensorRecord& record, const Span& span) {
    const std::size_t width = TensorRecord::elementSize(record.dtype);
    std::string bytes = record.storage.readBytes(static_cast<std::uint64_t>(span.first) * width,
                                                 static_cast<std::size_t>(span.count) * width);
    verify(record, span, bytes.data());
    return bytes;
}

template <typename Out, typename Convert>
void gather(const TensorRecord& record, const Span& span, const char* bytes, Out* out, Convert convert) {
    const std::size_t width = TensorRecord::elementSize(record.dtype);
    const std::size_t rank = record.shape.size();
    const std::int64_t numel = span.numel;
    if (numel == 0) return;
    std::vector<std::int64_t> index(rank, 0);
    std::int64_t offset = 0;  // from the span's first element
    for (std::int64_t n = 0; n < numel; ++n) {
        out[n] = convert(bytes + static_cast<std::size_t>(offset) * width);
        for (std::size_t d = rank; d-- > 0;) {
            if (++index[d] < record.shape[d]) {
                offset += record.strides[d];
                break;
            }
            offset -= (record.shape[d] - 1) * record.strides[d];
            index[d] = 0;
        }
    }
}

template <typename T>
T load(const char* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

float toFloat(TensorRecord::DType dtype, const char* p) {
    using DType = TensorRecord::DType;
    switch (dtype) {
        case DType::float32: return load<float>(p);
        case DType::float16: return platform::halfBitsToFloat(load<std::uint16_t>(p));
        case DType::bfloat16: return std::bit_cast<float>(static_cast<std::uint32_t>(load<std::uint16_t>(p)) << 16);
        case DType::float64: return static_cast<float>(load<double>(p));
        case DType::int64: return static_cast<float>(load<std::int64_t>(p));
        case DType::int32: return static_cast<float>(load<std::int32_t>(p));
        case DType::int16: return static_cast<float>(load<std::int16_t>(p));
        case DType::int8: return static_cast<float>(load<std::int8_t>(p));
        case DType::uint8: return static_cast<float>(load<std::uint8_t>(p));
        case DType::boolean: break;
    }
    return 0;
}

std::int64_t toInteger(TensorRecord::DType dtype, const char* p) {
    using DType = TensorRecord::DType;
    switch (dtype) {
        case DType::int64: return load<std::int64_t>(p);
        case DType::int32: return load<std::int32_t>(p);
        case DType::int16: return load<std::int16_t>(p);
        case DType::int8: return load<std::int8_t>(p);
        case DType::uint8: return load<std::uint8_t>(p);
        case DType::boolean: return load<std::uint8_t>(p) != 0;
        default: return 0;
    }
}

bool isContiguous(const TensorRecord& record) {
    std::int64_t expected = 1;
    for (std::size_t d = record.shape.size(); d-- > 0;) {
        if (record.shape[d] != 1 && record.strides[d] != expected) return false;
        expected *= record.shape[d];
    }
    return true;
}

}  // namespace

std::int64_t TensorRecord::numel() const {
    std::int64_t count = 1;
    for (std::int64_t size : shape)
        if (size < 0 || __builtin_mul_overflow(count, size, &count)) throw CheckpointError::malformed(describe(*this));
    return count;
}

platform::MLMultiArrayPtr TensorRecord::toFloat32() const {
    if (dtype == DType::boolean)
        throw CheckpointError::unsupported(describe(*this) + " holds bool values, not numbers");
    const Span span = spanOf(*this);
    // Checked before anything is allocated: the shape of a damaged file may ask for terabytes.
    checkStorage(*this, span);
    auto array = platform::MLMultiArray::create(shape, platform::MLMultiArrayDataType::float32);
    if (span.count == 0) return array;
    auto* out = array->data<float>();
    if (dtype == DType::float32 && isContiguous(*this)) {
        // Straight into the result: no second copy of a large tensor.
        storage.read(static_cast<std::uint64_t>(span.first) * 4, out, static_cast<std::size_t>(span.count) * 4);
        verify(*this, span, out);
        return array;
    }
    const std::string bytes = readSpan(*this, span);
    const DType type = dtype;
    gather(*this, span, bytes.data(), out, [type](const char* p) { return toFloat(type, p); });
    return array;
}

std::vector<std::int64_t> TensorRecord::toInt64() const {
    switch (dtype) {
        case DType::float32:
        case DType::float16:
        case DType::bfloat16:
        case DType::float64:
            throw CheckpointError::unsupported(describe(*this) + " holds " + name(dtype) + " values, not integers");
        default: break;
    }
    const Span span = spanOf(*this);
    checkStorage(*this, span);
    std::vector<std::int64_t> values(span.count == 0 ? 0 : static_cast<std::size_t>(span.numel));
    if (span.count == 0) return values;
    const std::string bytes = readSpan(*this, span);
    const DType type = dtype;
    gather(*this, span, bytes.data(), values.data(), [type](const char* p) { return toInteger(type, p); });
    return values;
}

std::size_t TensorRecord::elementSize(DType dtype) noexcept {
    switch (dtype) {
        case DType::float64:
        case DType::int64: return 8;
        case DType::float32:
        case DType::int32: return 4;
        case DType::float16:
        case DType::bfloat16:
        case DType::int16: return 2;
        case DType::int8:
        case DType::uint8:
        case DType::boolean: return 1;
    }
    return 1;
}

const char* TensorRecord::name(DType dtype) noexcept {
    switch (dtype) {
        case DType::float32: return "float32";
        case DType::float16: return "float16";
        case DType::bfloat16: return "bfloat16";
        case DType::float64: return "float64";
        case DType::int64: return "int64";
        case DType::int32: return "int32";
        case DType::int16: return "int16";
        case DType::int8: return "int8";
        case DType::uint8: return "uint8";
        case DType::boolean: return "bool";
    }
    return "?";
}

}  // namespace rarivoredu
