#include "RarivOredu/asr/TokenSequenceMerge.h"

#include <algorithm>
#include <string>

#include "RarivOredu/asr/TdtDecoderV3.h"

namespace rarivoredu {
namespace {

constexpr std::size_t kPreviousWindow = 15;

std::string idList(std::vector<int>::const_iterator first, std::size_t length) {
    std::string text = "[";
    for (std::size_t i = 0; i < length; ++i) {
        if (i) text += ", ";
        text += std::to_string(first[static_cast<std::ptrdiff_t>(i)]);
    }
    return text + "]";
}

bool isResetToken(int id) {
    const auto& ids = TdtDecoderV3::resetTokenIds;
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

}  // namespace

std::pair<std::vector<int>, int> mergeTokenSequences(const std::vector<int>& previous, const std::vector<int>& current,
                                                     int maxOverlap, int boundarySearchFrames, const AppLogger& logger) {
    std::vector<int> rest = current;
    int boundary = 0;
    if (!previous.empty() && !rest.empty() && previous.back() == rest.front() && isResetToken(rest.front())) {
        rest.erase(rest.begin());
        boundary = 1;
    }
    const std::size_t p = std::min(previous.size(), kPreviousWindow);
    const std::size_t q = std::min(rest.size(), static_cast<std::size_t>(std::max(maxOverlap, 0)));
    if (p < 2 || q < 2) return {std::move(rest), boundary};

    const auto drop = [&](std::size_t count) {
        return std::vector<int>(rest.begin() + static_cast<std::ptrdiff_t>(count), rest.end());
    };

    // Exact overlap: the end of previous is the start of current.
    for (std::size_t length = std::min(p, q); length >= 2; --length) {
        const auto suffix = previous.end() - static_cast<std::ptrdiff_t>(length);
        if (std::equal(suffix, previous.end(), rest.begin())) {
            if (logger.isEnabled(AppLogger::Level::debug)) {
                logger.debug("Found exact suffix-prefix overlap of length " + std::to_string(length) + ": " +
                             idList(rest.begin(), length));
            }
            return {drop(length), static_cast<int>(length) + boundary};
        }
    }

    // A run of the last previous tokens found near the start of current.
    const std::size_t searchStart = previous.size() - p;
    const std::size_t window = static_cast<std::size_t>(std::max(boundarySearchFrames, 0));
    for (std::size_t length = std::min(p, q); length >= 2; --length) {
        for (std::size_t i = searchStart; i + length <= previous.size(); ++i) {
            const std::size_t currentStarts = std::min(rest.size() - length + 1, window);
            for (std::size_t j = 0; j < currentStarts; ++j) {
                const auto run = previous.begin() + static_cast<std::ptrdiff_t>(i);
                if (!std::equal(run, run + static_cast<std::ptrdiff_t>(length),
                                rest.begin() + static_cast<std::ptrdiff_t>(j))) {
                    continue;
                }
                if (logger.isEnabled(AppLogger::Level::debug)) {
                    logger.debug("Found duplicate sequence length=" + std::to_string(length) +
                                 " at currStart=" + std::to_string(j) + ": " + idList(run, length) +
                                 " (boundarySearch=" + std::to_string(boundarySearchFrames) + ")");
                }
                return {drop(j + length), static_cast<int>(j + length) + boundary};
            }
        }
    }
    return {std::move(rest), boundary};
}

}  // namespace rarivoredu
