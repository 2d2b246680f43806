#pragma once

#include <string>
#include <vector>

namespace rarivoredu {

// Whether a buffer of samples can be diarized, and why not.
struct AudioValidationResult {
    bool isValid = false;          // true exactly when issues is empty
    float durationSeconds = 0;     // sample count / 16,000
    std::vector<std::string> issues;
};

}  // namespace rarivoredu
