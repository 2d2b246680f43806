// A library opened with dlopen whose thread_local lives in dynamic TLS, as libtorch's do.
#include <cstdlib>

namespace {
thread_local void* block = nullptr;
}

// The calling thread's heap block, held only by the thread_local.
extern "C" void* threadLocalBlock() {
    if (block == nullptr) block = std::malloc(24);
    return block;
}
