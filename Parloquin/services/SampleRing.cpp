#include "Parloquin/services/SampleRing.h"

#include <algorithm>

namespace parloquin {

SampleRing::SampleRing(std::size_t capacity) : storage_(std::max<std::size_t>(capacity, 1)) {}

std::size_t SampleRing::write(const float* samples, std::size_t count) noexcept {
    const std::size_t written = written_.load(std::memory_order_relaxed);
    const std::size_t read = read_.load(std::memory_order_acquire);
    const std::size_t room = storage_.size() - (written - read);
    const std::size_t n = std::min(count, room);
    const std::size_t at = written % storage_.size();
    const std::size_t first = std::min(n, storage_.size() - at);
    std::copy(samples, samples + first, storage_.begin() + static_cast<std::ptrdiff_t>(at));
    std::copy(samples + first, samples + n, storage_.begin());
    written_.store(written + n, std::memory_order_release);
    return n;
}

void SampleRing::drainInto(std::vector<float>& destination) {
    const std::size_t read = read_.load(std::memory_order_relaxed);
    const std::size_t written = written_.load(std::memory_order_acquire);
    const std::size_t n = written - read;
    const std::size_t at = read % storage_.size();
    const std::size_t first = std::min(n, storage_.size() - at);
    destination.insert(destination.end(), storage_.begin() + static_cast<std::ptrdiff_t>(at),
                       storage_.begin() + static_cast<std::ptrdiff_t>(at + first));
    destination.insert(destination.end(), storage_.begin(), storage_.begin() + static_cast<std::ptrdiff_t>(n - first));
    read_.store(written, std::memory_order_release);
}

}  // namespace parloquin
