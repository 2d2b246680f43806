#include "Platform/ml/torch/TensorMemoryCache.h"

#include <c10/core/CPUAllocator.h>
#include <c10/core/impl/alloc_cpu.h>

namespace platform {
namespace {

// Every block starts with a header that records its size; the tensor's data follows it, aligned
// as libtorch aligns CPU memory.
constexpr std::size_t kHeader = 64;

struct Header {
    std::size_t size;  // 0 for a block that is never kept
};

// Requests of similar sizes share blocks: up to 1 MiB in steps of 4 KiB, above in steps of 64 KiB.
std::size_t roundedSize(std::size_t bytes) {
    const std::size_t step = bytes <= (std::size_t{1} << 20) ? 4096 : 65536;
    return (bytes + step - 1) / step * step;
}

}  // namespace

TensorMemoryCache& TensorMemoryCache::shared() {
    static TensorMemoryCache* cache = new TensorMemoryCache;  // outlives every tensor
    return *cache;
}

void TensorMemoryCache::install() {
    static std::once_flag once;
    std::call_once(once, [] { c10::SetCPUAllocator(&shared(), /*priority=*/1); });
}

c10::DataPtr TensorMemoryCache::allocateBlock(std::size_t bytes) const {
    void* block = nullptr;
    std::size_t size = 0;
    if (bytes >= smallestKept) {
        size = roundedSize(bytes);
        std::lock_guard lock(mutex_);
        if (auto it = kept_.find(size); it != kept_.end() && !it->second.empty()) {
            block = it->second.back();
            it->second.pop_back();
            keptBytes_ -= size;
        }
    }
    if (block == nullptr) block = c10::alloc_cpu(kHeader + (size ? size : bytes));
    static_cast<Header*>(block)->size = size;
    void* data = static_cast<char*>(block) + kHeader;
    return {data, data, &release, c10::Device(c10::DeviceType::CPU)};
}

void TensorMemoryCache::release(void* data) {
    if (data == nullptr) return;
    void* block = static_cast<char*>(data) - kHeader;
    const std::size_t size = static_cast<Header*>(block)->size;
    if (size == 0) {
        c10::free_cpu(block);
        return;
    }
    shared().keepOrFree(block, size);
}

void TensorMemoryCache::keepOrFree(void* block, std::size_t size) const {
    {
        std::lock_guard lock(mutex_);
        if (keptBytes_ + size <= capacityBytes) {
            kept_[size].push_back(block);
            keptBytes_ += size;
            return;
        }
    }
    c10::free_cpu(block);
}

}  // namespace platform
