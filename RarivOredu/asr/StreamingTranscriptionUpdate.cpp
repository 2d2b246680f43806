#include "RarivOredu/asr/StreamingTranscriptionUpdate.h"

namespace rarivoredu {

std::vector<std::string> StreamingTranscriptionUpdate::tokenTexts() const {
    std::vector<std::string> texts;
    texts.reserve(tokenTimings.size());
    for (const auto& timing : tokenTimings) texts.push_back(timing.token);
    return texts;
}

}  // namespace rarivoredu
