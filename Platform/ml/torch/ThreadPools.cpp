#include "Platform/ml/torch/ThreadPools.h"

#include <dlfcn.h>

#include <ATen/Parallel.h>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace platform {
namespace {

using SetThreads = void (*)(int);
using GetThreads = int (*)();
using GetConfig = char* (*)();

// RTLD_DEFAULT searches the scope of the calling object: for this plugin that includes the BLAS
// library libtorch links, even when the program itself links none.
template <typename F>
F blasSymbol(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
}

int environmentWidth(const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') return 0;
    char* end = nullptr;
    const long n = std::strtol(value, &end, 10);
    if (end == value || *end != '\0' || n < 1 || n > 1024) return 0;
    return static_cast<int>(n);
}

std::atomic<int> currentBlasThreads{0};
thread_local int currentTorchThreads = 0;

}  // namespace

int ThreadPools::wideWidth() {
    // hardware_concurrency() reads sysfs on every call; the answer does not change.
    static const int width = [] {
        const unsigned n = std::thread::hardware_concurrency();
        return n == 0 ? 1 : static_cast<int>(n);
    }();
    return width;
}

void ThreadPools::applyForCurrentThread(ThreadingPreference preference) {
    static const int torchOverride = environmentWidth("RARIVOREDU_TORCH_THREADS");
    static const int blasOverride = environmentWidth("RARIVOREDU_BLAS_THREADS");
    static const int wide = wideWidth();
    const bool blasWide = preference == ThreadingPreference::blasWide;
    const int torchWidth = torchOverride ? torchOverride : (blasWide ? 1 : wide);
    const int blasWidth = blasOverride ? blasOverride : (blasWide ? wide : 1);

    if (currentTorchThreads != torchWidth) {
        at::set_num_threads(torchWidth);
        currentTorchThreads = torchWidth;
    }
    if (currentBlasThreads.load(std::memory_order_relaxed) != blasWidth) {
        static const auto setBlas = blasSymbol<SetThreads>("openblas_set_num_threads");
        if (setBlas != nullptr) setBlas(blasWidth);
        currentBlasThreads.store(blasWidth, std::memory_order_relaxed);
    }
}

bool ThreadPools::blasIsOpenBLAS() { return blasSymbol<GetConfig>("openblas_get_config") != nullptr; }

std::string ThreadPools::blasDescription() {
    if (const auto config = blasSymbol<GetConfig>("openblas_get_config")) return std::string("OpenBLAS ") + config();
    return "reference BLAS (not OpenBLAS)";
}

int ThreadPools::blasThreads() {
    if (const auto get = blasSymbol<GetThreads>("openblas_get_num_threads")) return get();
    return 1;
}

int ThreadPools::torchThreads() { return at::get_num_threads(); }

}  // namespace platform
