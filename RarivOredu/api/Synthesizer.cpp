#include "rarivoredu/Synthesizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "RarivOredu/api/ErrorTranslation.h"
#include "RarivOredu/api/ProgressRelay.h"
#include "RarivOredu/shared/ModelNames.h"
#include "RarivOredu/tts/TtSManager.h"
#include "RarivOredu/tts/TtsConstants.h"
#include "RarivOredu/tts/TtsModels.h"
#include "rarivoredu/Error.h"
#include "rarivoredu/Models.h"

namespace rarivoredu::api {
namespace {

std::filesystem::path kokoroFolder() { return TtsModels::kokoroDirectory(Models::synthesisDirectory()); }

void checkRequest(const std::string& text, const std::string& voice, float speed) {
    if (std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c) != 0; })) {
        throw Error(Error::Kind::invalidArgument, "There is no text to speak");
    }
    const auto& voices = Synthesizer::voices();
    if (std::find(voices.begin(), voices.end(), voice) == voices.end()) {
        throw Error(Error::Kind::invalidArgument, "Unknown voice: " + voice);
    }
    if (!std::isfinite(speed) || speed <= 0) {
        throw Error(Error::Kind::invalidArgument, "The speed must be a number above 0");
    }
}

std::uint32_t readLittleEndian(const std::uint8_t* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

// The samples of a 16-bit PCM mono WAV file as the synthesiser writes it.
Speech decodeWav(const std::vector<std::uint8_t>& wav) {
    Speech speech;
    if (wav.size() < 12 || std::memcmp(wav.data(), "RIFF", 4) != 0) return speech;
    std::size_t at = 12;
    while (at + 8 <= wav.size()) {
        const std::uint32_t size = readLittleEndian(&wav[at + 4], 4);
        const std::size_t body = at + 8;
        if (std::memcmp(&wav[at], "fmt ", 4) == 0 && body + 8 <= wav.size()) {
            speech.sampleRate = static_cast<int>(readLittleEndian(&wav[body + 4], 4));
        } else if (std::memcmp(&wav[at], "data", 4) == 0) {
            const std::size_t end = std::min<std::size_t>(wav.size(), body + size);
            for (std::size_t i = body; i + 1 < end; i += 2) {
                const auto value = static_cast<std::int16_t>(readLittleEndian(&wav[i], 2));
                speech.samples.push_back(static_cast<float>(value) / 32768.0f);
            }
            break;
        }
        at = body + size + (size & 1);
    }
    return speech;
}

}  // namespace

struct Synthesizer::Impl {
    TtSManager manager;
};

Synthesizer::Synthesizer() {
    if (!modelsInstalled()) {
        throw Error(Error::Kind::modelsMissing, "The speech synthesis models are not installed in " + kokoroFolder().string());
    }
    try {
        auto impl = std::make_unique<Impl>();
        impl->manager.initialize();
        impl_ = std::move(impl);
    } catch (...) {
        ErrorTranslation::rethrow("Could not load the speech synthesis models");
    }
}

Synthesizer::~Synthesizer() = default;

Speech Synthesizer::speak(const std::string& text, const std::string& voice, float speed) {
    checkRequest(text, voice, speed);
    try {
        return decodeWav(impl_->manager.synthesize(text, voice, 0, speed));
    } catch (...) {
        ErrorTranslation::rethrow("Speech synthesis failed");
    }
}

void Synthesizer::speakToFile(const std::string& text, const std::filesystem::path& file, const std::string& voice,
                              float speed) {
    checkRequest(text, voice, speed);
    try {
        impl_->manager.synthesizeToFile(text, file, voice, 0, speed);
    } catch (...) {
        ErrorTranslation::rethrow("Speech synthesis failed");
    }
}

const std::vector<std::string>& Synthesizer::voices() { return TtsConstants::availableVoices(); }

std::filesystem::path Synthesizer::modelsFolder() { return kokoroFolder(); }

bool Synthesizer::modelsInstalled() {
    std::error_code error;
    for (const std::string& name : ModelNames::TTS::requiredModels()) {
        if (!std::filesystem::exists(kokoroFolder() / name / "coremldata.bin", error)) return false;
    }
    return true;
}

void Synthesizer::fetchModels(const ProgressHandler& progress) {
    const ProgressRelay relay(progress);
    try {
        TtSManager manager;
        manager.initialize();
    } catch (...) {
        ErrorTranslation::rethrow("Could not fetch the speech synthesis models");
    }
}

}  // namespace rarivoredu::api
