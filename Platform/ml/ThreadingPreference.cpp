#include "Platform/ml/ThreadingPreference.h"

namespace platform {

bool parseThreadingPreference(const std::string& text, ThreadingPreference& preference) {
    if (text == "blas") preference = ThreadingPreference::blasWide;
    else if (text == "torch") preference = ThreadingPreference::torchWide;
    else return false;
    return true;
}

}  // namespace platform
