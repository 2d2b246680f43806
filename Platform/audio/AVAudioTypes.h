#pragma once

#include <cstdint>

namespace platform {

// Counts and positions of the audio layer.
using AVAudioFrameCount = std::uint32_t;     // frames in a buffer
using AVAudioPacketCount = std::uint32_t;    // packets the converter asks for
using AVAudioChannelCount = std::uint32_t;   // channels of a format
using AVAudioFramePosition = std::int64_t;   // frames in a file, position in it
using AVAudioNodeBus = std::uint32_t;        // a bus of an audio node

}  // namespace platform
