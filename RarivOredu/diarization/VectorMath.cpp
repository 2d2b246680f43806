#include "RarivOredu/diarization/VectorMath.h"

#include <algorithm>

namespace rarivoredu {

float VectorMath::sumOfSquares(std::span<const float> values) noexcept {
    float sum = 0;
    for (const float value : values) sum += value * value;
    return sum;
}

bool VectorMath::allFinite(std::span<const float> values) noexcept {
    return std::all_of(values.begin(), values.end(), [](float value) { return std::isfinite(value); });
}

VectorMath::CosineSums VectorMath::cosineSums(std::span<const float> a, std::span<const float> b) noexcept {
    const std::size_t n = std::min(a.size(), b.size());
    CosineSums sums;
    for (std::size_t i = 0; i < n; ++i) {
        sums.dot += a[i] * b[i];
        sums.sumSquaresA += a[i] * a[i];
        sums.sumSquaresB += b[i] * b[i];
    }
    return sums;
}

}  // namespace rarivoredu
