#pragma once

namespace benchasr {

// Heap allocations made so far by the calling thread (malloc, calloc, realloc and the aligned
// forms, which operator new goes through as well).
long allocationsOnThisThread() noexcept;

}  // namespace benchasr
