#pragma once

#include <string>

namespace platform {

// libtorch's intra-op pool and OpenBLAS's pool compete for the same cores; running both wide
// is much slower than one wide and one narrow. A model states which of the two does its heavy
// lifting and the runtime sizes both pools before each prediction.
//   blasWide  — float models whose matrix products go to OpenBLAS: OpenBLAS wide, libtorch 1.
//   torchWide — models whose kernels are libtorch's own (quantised, oneDNN): libtorch wide, OpenBLAS 1.
// RARIVOREDU_TORCH_THREADS and RARIVOREDU_BLAS_THREADS override the widths.
enum class ThreadingPreference { blasWide, torchWide };

bool parseThreadingPreference(const std::string& text, ThreadingPreference& preference);

}  // namespace platform
