#pragma once

#include <utility>
#include <vector>

#include "RarivOredu/shared/AppLogger.h"

namespace rarivoredu {

// Removes from the head of `current` the run of tokens that repeats the end of `previous`:
// a shared boundary reset token, then the longest exact suffix-prefix overlap (at least 2 tokens,
// at most 15 previous and `maxOverlap` current ones), else the longest repeated run that starts
// within the first `boundarySearchFrames` current positions. Returns the remaining current
// tokens and how many leading current tokens were removed. Findings are logged at debug level.
std::pair<std::vector<int>, int> mergeTokenSequences(const std::vector<int>& previous, const std::vector<int>& current,
                                                     int maxOverlap, int boundarySearchFrames, const AppLogger& logger);

}  // namespace rarivoredu
