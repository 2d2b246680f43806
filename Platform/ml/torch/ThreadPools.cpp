#include "Platform/ml/torch/ThreadPools.h"

#include <dlfcn.h>

#include <ATen/Context.h>
#include <ATen/Parallel.h>

#include <atomic>
#include <cstdlib>

#include "Platform/ml/torch/CoreAvailability.h"

namespace platform {
namespace {

using SetThreads = void (*)(int);
using GetThreads = int (*)();
using GetConfig = char* (*)();

// RTLD_DEFAULT searches the scope of the calling object: for this plugin that includes the BLAS
// library libtorch links, even when the program itself links none.
template <typename F>
F librarySymbol(const char* name) {
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

// libtorch's own setter also rebuilds its pthreadpool and empties oneDNN's cache of prepared
// computations each time the width changes, and a recogniser changes it twice a window (Encoder
// wide, Decoder narrow). Where libtorch runs on OpenMP and its pthreadpool serves nobody (the
// quantised engine is not QNNPACK), the width is OpenMP's, set directly. On a thread's first
// parallel work libtorch sets the thread's OpenMP width to the last one given to its setter, so
// that is done first.
void setTorchWidth(int width) {
    static const auto setOpenMP = librarySymbol<SetThreads>("omp_set_num_threads");
    static const bool openMP =
        setOpenMP != nullptr && at::get_parallel_info().find("backend: OpenMP") != std::string::npos;
    if (!openMP || at::globalContext().qEngine() == at::QEngine::QNNPACK) {
        at::set_num_threads(width);
        return;
    }
    thread_local bool initialised = false;
    if (!initialised) {
        at::get_num_threads();
        initialised = true;
    }
    setOpenMP(width);
}

std::atomic<int> currentBlasThreads{0};
thread_local int currentTorchThreads = 0;

// The wide pool spans the cores other programs leave free, not every core: a pool waits at each
// of its parallel steps for its slowest thread, and on a busy machine that is the one the
// scheduler gave away. With builds running (load 25-30 on 8 cores) 15 s of audio took 13.9 s on
// the float set with OpenBLAS on 8 threads, 2.7 s on 2.
CoreAvailability& cores() {
    static CoreAvailability availability;
    return availability;
}

}  // namespace

int ThreadPools::wideWidth() { return cores().lastFreeCores(); }

void ThreadPools::applyForCurrentThread(ThreadingPreference preference) {
    static const int torchOverride = environmentWidth("RARIVOREDU_TORCH_THREADS");
    static const int blasOverride = environmentWidth("RARIVOREDU_BLAS_THREADS");
    const int wide = torchOverride && blasOverride ? 1 : cores().freeCoresNow();
    const bool blasWide = preference == ThreadingPreference::blasWide;
    const int torchWidth = torchOverride ? torchOverride : (blasWide ? 1 : wide);
    const int blasWidth = blasOverride ? blasOverride : (blasWide ? wide : 1);

    if (currentTorchThreads != torchWidth) {
        setTorchWidth(torchWidth);
        currentTorchThreads = torchWidth;
    }
    if (currentBlasThreads.load(std::memory_order_relaxed) != blasWidth) {
        static const auto setBlas = librarySymbol<SetThreads>("openblas_set_num_threads");
        if (setBlas != nullptr) setBlas(blasWidth);
        currentBlasThreads.store(blasWidth, std::memory_order_relaxed);
    }
}

bool ThreadPools::blasIsOpenBLAS() { return librarySymbol<GetConfig>("openblas_get_config") != nullptr; }

std::string ThreadPools::blasDescription() {
    if (const auto config = librarySymbol<GetConfig>("openblas_get_config")) return std::string("OpenBLAS ") + config();
    return "reference BLAS (not OpenBLAS)";
}

int ThreadPools::blasThreads() {
    if (const auto get = librarySymbol<GetThreads>("openblas_get_num_threads")) return get();
    return 1;
}

int ThreadPools::torchThreads() { return at::get_num_threads(); }

}  // namespace platform
