#pragma once

#include <c10/core/Allocator.h>
#include <torch/version.h>

#include <cstddef>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace platform {

// libtorch's allocator for CPU tensors while models run. A model run frees its working tensors
// when it ends, and glibc hands large blocks back to the kernel at once; the next run maps them
// afresh and faults every page in again, which nearly doubles the time of a large encoder. This
// allocator keeps freed blocks of 64 KiB and more, by size, and hands them out again for
// requests of that size (windows have fixed shapes, so a run asks for the sizes the last run
// freed). At most `capacityBytes` stay kept; smaller blocks are allocated and freed at once.
class TensorMemoryCache final : public c10::Allocator {
public:
    static constexpr std::size_t smallestKept = 64 * 1024;
    static constexpr std::size_t capacityBytes = std::size_t{1} << 30;

    // Makes the cache libtorch's CPU allocator; later calls do nothing.
    static void install();
    static TensorMemoryCache& shared();

    // libtorch 2.3 made allocate non-const and asks allocators to copy their blocks.
#if TORCH_VERSION_MAJOR > 2 || (TORCH_VERSION_MAJOR == 2 && TORCH_VERSION_MINOR >= 3)
    c10::DataPtr allocate(std::size_t bytes) override { return allocateBlock(bytes); }
    void copy_data(void* destination, const void* source, std::size_t count) const override {
        default_copy_data(destination, source, count);
    }
#else
    c10::DataPtr allocate(std::size_t bytes) const override { return allocateBlock(bytes); }
#endif
    c10::DeleterFnPtr raw_deleter() const override { return &release; }

private:
    TensorMemoryCache() = default;
    c10::DataPtr allocateBlock(std::size_t bytes) const;
    static void release(void* data);
    void keepOrFree(void* block, std::size_t size) const;

    mutable std::mutex mutex_;
    mutable std::unordered_map<std::size_t, std::vector<void*>> kept_;
    mutable std::size_t keptBytes_ = 0;
};

}  // namespace platform
