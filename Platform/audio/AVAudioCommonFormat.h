#pragma once

#include <cstddef>

namespace platform {

// The sample type of a PCM format.
enum class AVAudioCommonFormat : int {
    otherFormat = 0,
    pcmFormatFloat32 = 1,
    pcmFormatFloat64 = 2,
    pcmFormatInt16 = 3,
    pcmFormatInt32 = 4,
};

// Bytes of one sample of one channel; 0 for otherFormat.
constexpr std::size_t bytesPerSample(AVAudioCommonFormat format) noexcept {
    switch (format) {
        case AVAudioCommonFormat::pcmFormatFloat32: return 4;
        case AVAudioCommonFormat::pcmFormatFloat64: return 8;
        case AVAudioCommonFormat::pcmFormatInt16: return 2;
        case AVAudioCommonFormat::pcmFormatInt32: return 4;
        case AVAudioCommonFormat::otherFormat: return 0;
    }
    return 0;
}

}  // namespace platform
