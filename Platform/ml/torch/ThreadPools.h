#pragma once

#include <string>

#include "Platform/ml/ThreadingPreference.h"

namespace platform {

// The widths of libtorch's and the BLAS library's pools (see ThreadingPreference). Both pools
// belong to libraries only the TorchScript plugin links, so this lives in the plugin; programs
// reach it through TorchScriptRuntime.
class ThreadPools {
public:
    // Sizes both pools for a prediction that runs on the calling thread (libtorch's width is a
    // per-thread setting under OpenMP). Cheap when nothing changes.
    static void applyForCurrentThread(ThreadingPreference preference);

    // The width of the wide pool at the last applyForCurrentThread: the cores this process may
    // run on that other programs leave free (CoreAvailability).
    static int wideWidth();
    // "OpenBLAS <config>" when OpenBLAS serves BLAS calls, otherwise a short description.
    static std::string blasDescription();
    static bool blasIsOpenBLAS();
    static int blasThreads();
    static int torchThreads();
};

}  // namespace platform
