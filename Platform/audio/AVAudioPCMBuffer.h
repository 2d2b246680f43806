#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "Platform/audio/AVAudioFormat.h"
#include "Platform/audio/AVAudioTypes.h"

namespace platform {

class AVAudioPCMBuffer;
using AVAudioPCMBufferPtr = std::shared_ptr<AVAudioPCMBuffer>;

// PCM samples in one format: room for frameCapacity frames, of which the first frameLength hold
// audio. Buffers are shared by reference.
//
// Channel data: for a non-interleaved format one pointer per channel; for an interleaved format a
// single pointer to the interleaved samples, where channel c of frame i is at [i * stride() + c].
// The typed accessors answer nullptr when the format holds another sample type.
class AVAudioPCMBuffer {
public:
    // Nothing when the memory cannot be had. The samples start zeroed.
    static AVAudioPCMBufferPtr make(const AVAudioFormat& format, AVAudioFrameCount frameCapacity);

    ~AVAudioPCMBuffer();
    AVAudioPCMBuffer(const AVAudioPCMBuffer&) = delete;
    AVAudioPCMBuffer& operator=(const AVAudioPCMBuffer&) = delete;

    const AVAudioFormat& format() const noexcept { return format_; }
    AVAudioFrameCount frameCapacity() const noexcept { return frameCapacity_; }
    AVAudioFrameCount frameLength() const noexcept { return frameLength_; }
    // Throws std::out_of_range for a length above the capacity.
    void setFrameLength(AVAudioFrameCount frameLength);
    // Samples from one frame of a channel to the next.
    std::size_t stride() const noexcept { return format_.isInterleaved() ? format_.channelCount() : 1; }

    float* const* floatChannelData() const noexcept { return float32_.empty() ? nullptr : float32_.data(); }
    std::int16_t* const* int16ChannelData() const noexcept { return int16_.empty() ? nullptr : int16_.data(); }
    std::int32_t* const* int32ChannelData() const noexcept { return int32_.empty() ? nullptr : int32_.data(); }
    // The channel data of any sample type; channelDataCount() pointers.
    void* const* rawChannelData() const noexcept { return raw_.data(); }
    AVAudioChannelCount channelDataCount() const noexcept { return static_cast<AVAudioChannelCount>(raw_.size()); }

private:
    AVAudioPCMBuffer(const AVAudioFormat& format, AVAudioFrameCount frameCapacity);
    bool allocate();

    AVAudioFormat format_;
    AVAudioFrameCount frameCapacity_;
    AVAudioFrameCount frameLength_ = 0;
    std::byte* storage_ = nullptr;
    std::size_t storageBytes_ = 0;
    bool mapped_ = false;
    std::vector<void*> raw_;
    std::vector<float*> float32_;
    std::vector<std::int16_t*> int16_;
    std::vector<std::int32_t*> int32_;
};

}  // namespace platform
