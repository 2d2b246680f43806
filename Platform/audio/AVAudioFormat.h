#pragma once

#include <cstddef>
#include <optional>

#include "Platform/audio/AVAudioCommonFormat.h"
#include "Platform/audio/AVAudioTypes.h"

namespace platform {

// A PCM audio format: sample type, sample rate, channel count and layout. In an interleaved
// format the channels of one frame lie next to each other; otherwise each channel is a block.
// A value type; two formats are equal when all four properties are.
class AVAudioFormat {
public:
    // The most channels a format may have.
    static constexpr AVAudioChannelCount maxChannelCount = 1024;

    // Nothing when the description is not a usable PCM format: otherFormat, a sample rate that is
    // not a finite number above zero, or a channel count of 0 or above maxChannelCount.
    static std::optional<AVAudioFormat> make(AVAudioCommonFormat commonFormat, double sampleRate,
                                             AVAudioChannelCount channels, bool interleaved);
    // 32-bit float samples, not interleaved: the processing format of files.
    static std::optional<AVAudioFormat> standard(double sampleRate, AVAudioChannelCount channels);

    AVAudioCommonFormat commonFormat() const noexcept { return commonFormat_; }
    double sampleRate() const noexcept { return sampleRate_; }
    AVAudioChannelCount channelCount() const noexcept { return channelCount_; }
    bool isInterleaved() const noexcept { return interleaved_; }
    bool isStandard() const noexcept {
        return commonFormat_ == AVAudioCommonFormat::pcmFormatFloat32 && !interleaved_;
    }
    // Bytes of one frame (every channel) in an interleaved format, of one channel's sample otherwise.
    std::size_t bytesPerFrame() const noexcept;

    friend bool operator==(const AVAudioFormat&, const AVAudioFormat&) = default;

private:
    AVAudioFormat(AVAudioCommonFormat commonFormat, double sampleRate, AVAudioChannelCount channels,
                  bool interleaved)
        : commonFormat_(commonFormat), sampleRate_(sampleRate), channelCount_(channels),
          interleaved_(interleaved) {}

    AVAudioCommonFormat commonFormat_;
    double sampleRate_;
    AVAudioChannelCount channelCount_;
    bool interleaved_;
};

}  // namespace platform
