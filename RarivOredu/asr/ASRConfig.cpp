#include "RarivOredu/asr/ASRConfig.h"

#include <stdexcept>

namespace rarivoredu {

const ASRConfig& ASRConfig::defaultConfig() {
    static const ASRConfig config{16000, TdtConfig::defaultConfig()};
    return config;
}

void ASRConfig::validate() const {
    if (sampleRate <= 0) throw std::invalid_argument("ASRConfig: sampleRate must be positive");
    tdtConfig.validate();
}

}  // namespace rarivoredu
