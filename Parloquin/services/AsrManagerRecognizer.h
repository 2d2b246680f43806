#pragma once

#include <memory>

#include "Parloquin/services/SpeechRecognizer.h"
#include "RarivOredu/asr/AsrManager.h"

namespace parloquin {

// The speech library's batch recogniser as the dictation service's recogniser.
class AsrManagerRecognizer : public SpeechRecognizer {
public:
    explicit AsrManagerRecognizer(std::shared_ptr<rarivoredu::AsrManager> manager) : manager_(std::move(manager)) {}

    rarivoredu::ASRResult transcribe(std::span<const float> samples, rarivoredu::AudioSource source) override {
        return manager_->transcribe(samples, source);
    }

    const std::shared_ptr<rarivoredu::AsrManager>& manager() const noexcept { return manager_; }

    // Makes sure the version 3 model set is in the library's models folder (downloading what is
    // missing: on a first start, the public checkpoint, converted), loads it and returns a recogniser ready to transcribe. Blocks for as long as that
    // takes; errors of the model set and of the recogniser pass through unchanged.
    static std::shared_ptr<SpeechRecognizer> makeAsrManager();

private:
    std::shared_ptr<rarivoredu::AsrManager> manager_;
};

}  // namespace parloquin
