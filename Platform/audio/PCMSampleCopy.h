#pragma once

#include "Platform/audio/AVAudioPCMBuffer.h"
#include "Platform/audio/AVAudioTypes.h"

namespace platform::pcm {

// Sample copies between a buffer of any PCM format and plain float samples of one channel.
// Integers map to floats as value / 2^(bits-1); floats map back rounded and clipped to the range.
// The caller keeps channel < channelCount and first + count <= frameCapacity.

void readChannel(const AVAudioPCMBuffer& buffer, AVAudioChannelCount channel, AVAudioFrameCount first,
                 AVAudioFrameCount count, float* destination) noexcept;

void writeChannel(AVAudioPCMBuffer& buffer, AVAudioChannelCount channel, AVAudioFrameCount first,
                  AVAudioFrameCount count, const float* source) noexcept;

// The channel's float samples as one contiguous run, when the buffer holds them so (32-bit float,
// not interleaved, or a single channel); nullptr otherwise.
float* contiguousFloatChannel(const AVAudioPCMBuffer& buffer, AVAudioChannelCount channel) noexcept;

}  // namespace platform::pcm
