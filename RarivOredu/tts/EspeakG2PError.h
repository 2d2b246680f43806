#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace rarivoredu {

// Errors of the eSpeak NG grapheme-to-phoneme engine; what() is the description.
class EspeakG2PError : public std::exception {
public:
    enum class Kind {
        initializationFailed,
        voiceSelectionFailed,
        frameworkBundleMissing,
        dataBundleMissing,
        voicesDirectoryMissing,
    };

    static EspeakG2PError initializationFailed(std::int32_t code) {
        return EspeakG2PError(Kind::initializationFailed, {}, code);
    }
    static EspeakG2PError voiceSelectionFailed(std::string voice, std::int32_t code) {
        return EspeakG2PError(Kind::voiceSelectionFailed, std::move(voice), code);
    }
    static EspeakG2PError frameworkBundleMissing() { return EspeakG2PError(Kind::frameworkBundleMissing); }
    static EspeakG2PError dataBundleMissing() { return EspeakG2PError(Kind::dataBundleMissing); }
    static EspeakG2PError voicesDirectoryMissing() { return EspeakG2PError(Kind::voicesDirectoryMissing); }

    Kind kind() const noexcept { return kind_; }
    // The library's status code of the two failure cases; 0 for the others.
    std::int32_t code() const noexcept { return code_; }
    // The voice that could not be selected; empty for the other cases.
    const std::string& voice() const noexcept { return voice_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    explicit EspeakG2PError(Kind kind, std::string voice = {}, std::int32_t code = 0);

    Kind kind_;
    std::string voice_;
    std::int32_t code_;
    std::string description_;
};

}  // namespace rarivoredu
