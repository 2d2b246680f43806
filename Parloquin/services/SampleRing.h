#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

namespace parloquin {

// A fixed ring of samples between one writer thread and one reader thread, without locks and
// without allocating on the writer's side.
class SampleRing {
public:
    explicit SampleRing(std::size_t capacity);

    std::size_t capacity() const noexcept { return storage_.size(); }
    // Writer: copies as many of the samples as there is room for; returns how many.
    std::size_t write(const float* samples, std::size_t count) noexcept;
    // Reader: appends every sample written so far and frees their room.
    void drainInto(std::vector<float>& destination);
    // How many samples were ever written (those that did not fit are not counted).
    std::size_t written() const noexcept { return written_.load(std::memory_order_acquire); }

private:
    std::vector<float> storage_;
    std::atomic<std::size_t> written_{0};  // samples ever written
    std::atomic<std::size_t> read_{0};     // samples ever read
};

}  // namespace parloquin
