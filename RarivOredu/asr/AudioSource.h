#pragma once

namespace rarivoredu {

// Which decoder state of the recogniser a call uses; also keys streaming sources.
enum class AudioSource { microphone, system };

// The case name: "microphone" or "system".
constexpr const char* name(AudioSource source) noexcept {
    return source == AudioSource::system ? "system" : "microphone";
}

}  // namespace rarivoredu
