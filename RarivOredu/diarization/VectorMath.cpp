#include "RarivOredu/diarization/VectorMath.h"

#include <algorithm>

namespace rarivoredu {

namespace {

// Products are summed in eight interleaved lanes (lane l takes the values l, l + 8, …), the lanes
// added pairwise, then the tail: a fixed order the compiler keeps in vector registers.
constexpr std::size_t lanes = 8;

float sumOfProducts(const float* x, const float* y, std::size_t n) noexcept {
    float sums[lanes] = {};
    std::size_t i = 0;
    for (; i + lanes <= n; i += lanes) {
        for (std::size_t l = 0; l < lanes; ++l) sums[l] += x[i + l] * y[i + l];
    }
    float total = ((sums[0] + sums[1]) + (sums[2] + sums[3])) + ((sums[4] + sums[5]) + (sums[6] + sums[7]));
    for (; i < n; ++i) total += x[i] * y[i];
    return total;
}

}  // namespace

float VectorMath::sumOfSquares(std::span<const float> values) noexcept {
    return sumOfProducts(values.data(), values.data(), values.size());
}

float VectorMath::dot(std::span<const float> a, std::span<const float> b) noexcept {
    return sumOfProducts(a.data(), b.data(), std::min(a.size(), b.size()));
}

bool VectorMath::allFinite(std::span<const float> values) noexcept {
    return std::all_of(values.begin(), values.end(), [](float value) { return std::isfinite(value); });
}

void VectorMath::accumulate(float* __restrict sum, const float* __restrict values, std::size_t n) noexcept {
    std::size_t i = 0;
    for (; i + lanes <= n; i += lanes) {
        for (std::size_t l = 0; l < lanes; ++l) sum[i + l] += values[i + l];
    }
    for (; i < n; ++i) sum[i] += values[i];
}

}  // namespace rarivoredu
