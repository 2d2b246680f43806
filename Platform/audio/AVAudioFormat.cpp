#include "Platform/audio/AVAudioFormat.h"

#include <cmath>

namespace platform {

std::optional<AVAudioFormat> AVAudioFormat::make(AVAudioCommonFormat commonFormat, double sampleRate,
                                                 AVAudioChannelCount channels, bool interleaved) {
    if (bytesPerSample(commonFormat) == 0) return std::nullopt;
    if (!std::isfinite(sampleRate) || sampleRate <= 0.0) return std::nullopt;
    if (channels == 0 || channels > maxChannelCount) return std::nullopt;
    return AVAudioFormat(commonFormat, sampleRate, channels, interleaved);
}

std::optional<AVAudioFormat> AVAudioFormat::standard(double sampleRate, AVAudioChannelCount channels) {
    return make(AVAudioCommonFormat::pcmFormatFloat32, sampleRate, channels, false);
}

std::size_t AVAudioFormat::bytesPerFrame() const noexcept {
    const std::size_t sample = bytesPerSample(commonFormat_);
    return interleaved_ ? sample * channelCount_ : sample;
}

}  // namespace platform
