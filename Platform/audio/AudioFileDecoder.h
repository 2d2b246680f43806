#pragma once

#include "Platform/audio/AVAudioTypes.h"

namespace platform {

// One way of decoding an audio file, behind AVAudioFile: float samples, one block per channel,
// at the file's own rate and channel count.
class AudioFileDecoder {
public:
    virtual ~AudioFileDecoder() = default;

    virtual double sampleRate() const = 0;
    virtual AVAudioChannelCount channelCount() const = 0;
    // Frames in the file, as far as the container tells.
    virtual AVAudioFramePosition length() const = 0;
    // Decodes up to count frames of every channel, writing channel c at channels[c] + offset.
    // Returns the frames written; fewer than asked only at the end of the audio.
    // Throws NSError when decoding fails.
    virtual AVAudioFrameCount read(float* const* channels, AVAudioFrameCount offset, AVAudioFrameCount count) = 0;
};

}  // namespace platform
