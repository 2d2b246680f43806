// Counts the calling thread's heap allocations by standing in for the C allocator and passing
// each request on to glibc's own.
#include "bench/asr/AllocationCounter.h"

#include <cerrno>
#include <cstddef>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* pointer);
}

namespace {
thread_local long allocations = 0;
}

namespace benchasr {
long allocationsOnThisThread() noexcept { return allocations; }
}  // namespace benchasr

extern "C" {

void* malloc(std::size_t size) {
    ++allocations;
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) {
    ++allocations;
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, std::size_t size) {
    ++allocations;
    return __libc_realloc(pointer, size);
}

void free(void* pointer) { __libc_free(pointer); }

void* memalign(std::size_t alignment, std::size_t size) {
    ++allocations;
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) {
    ++allocations;
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, std::size_t alignment, std::size_t size) {
    ++allocations;
    void* pointer = __libc_memalign(alignment, size);
    if (pointer == nullptr) return ENOMEM;
    *result = pointer;
    return 0;
}

}  // extern "C"
