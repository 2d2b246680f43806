#pragma once

#include <span>

#include "RarivOredu/asr/ASRResult.h"
#include "RarivOredu/asr/AudioSource.h"

namespace parloquin {

// What the dictation service needs of a recogniser: 16 kHz mono samples in, text out. The service
// calls it on its worker thread, one call at a time.
class SpeechRecognizer {
public:
    virtual ~SpeechRecognizer() = default;
    // Blocks until the text is there. Throws the recogniser's errors (ASRError and the platform's).
    virtual rarivoredu::ASRResult transcribe(std::span<const float> samples, rarivoredu::AudioSource source) = 0;
};

}  // namespace parloquin
