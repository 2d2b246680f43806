#pragma once

#include <chrono>

namespace rarivoredu {

// The seconds passed on the steady clock since `start`, for the durations that results report.
inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace rarivoredu
