#include "RarivOredu/asr/TdtConfig.h"

#include <stdexcept>
#include <string>

namespace rarivoredu {

const TdtConfig& TdtConfig::defaultConfig() {
    static const TdtConfig config{};
    return config;
}

void TdtConfig::validate() const {
    if (durationBins.empty()) throw std::invalid_argument("TdtConfig: durationBins must not be empty");
    for (const int bin : durationBins) {
        if (bin < 0) {
            throw std::invalid_argument("TdtConfig: duration bins must not be negative, got " + std::to_string(bin));
        }
    }
    if (maxSymbolsPerStep < 0) throw std::invalid_argument("TdtConfig: maxSymbolsPerStep must not be negative");
    if (maxTokensPerChunk < 0) throw std::invalid_argument("TdtConfig: maxTokensPerChunk must not be negative");
    if (consecutiveBlankLimit < 0) throw std::invalid_argument("TdtConfig: consecutiveBlankLimit must not be negative");
    if (boundarySearchFrames < 0) throw std::invalid_argument("TdtConfig: boundarySearchFrames must not be negative");
}

}  // namespace rarivoredu
