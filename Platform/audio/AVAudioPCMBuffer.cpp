#include "Platform/audio/AVAudioPCMBuffer.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

namespace platform {
namespace {

constexpr std::size_t alignment = 64;
// Larger buffers are mapped from the kernel: zeroed pages on first touch, and a request that
// cannot be met fails cleanly instead of through the allocator.
constexpr std::size_t mappedFrom = std::size_t{1} << 20;
// Nothing asks for more; beyond this a size is a corrupt count, not a wish.
constexpr std::size_t largestBuffer = std::size_t{1} << 39;

}  // namespace

AVAudioPCMBufferPtr AVAudioPCMBuffer::make(const AVAudioFormat& format, AVAudioFrameCount frameCapacity) {
    AVAudioPCMBufferPtr buffer(new (std::nothrow) AVAudioPCMBuffer(format, frameCapacity));
    if (!buffer || !buffer->allocate()) return nullptr;
    return buffer;
}

AVAudioPCMBuffer::AVAudioPCMBuffer(const AVAudioFormat& format, AVAudioFrameCount frameCapacity)
    : format_(format), frameCapacity_(frameCapacity) {}

AVAudioPCMBuffer::~AVAudioPCMBuffer() {
    if (storage_ == nullptr) return;
    if (mapped_) {
        ::munmap(storage_, storageBytes_);
    } else {
        ::operator delete(storage_, std::align_val_t{alignment});
    }
}

bool AVAudioPCMBuffer::allocate() {
    const std::size_t channels = format_.channelCount();
    const std::size_t sampleBytes = bytesPerSample(format_.commonFormat());
    const std::size_t channelBytes = std::size_t{frameCapacity_} * sampleBytes;
    // A capacity of 0 still gets storage so that the channel pointers are real.
    const std::size_t total = std::max<std::size_t>(channelBytes * channels, alignment);
    if (total > largestBuffer) return false;

    if (total >= mappedFrom) {
        void* mapped = ::mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) return false;
        // Large pages where the kernel offers them: a long recording faults in far fewer pages.
        ::madvise(mapped, total, MADV_HUGEPAGE);
        storage_ = static_cast<std::byte*>(mapped);
        mapped_ = true;
    } else {
        storage_ = static_cast<std::byte*>(::operator new(total, std::align_val_t{alignment}, std::nothrow));
        if (storage_ == nullptr) return false;
        std::memset(storage_, 0, total);
    }
    storageBytes_ = total;

    try {
        const std::size_t pointers = format_.isInterleaved() ? 1 : channels;
        raw_.resize(pointers);
        for (std::size_t c = 0; c < pointers; ++c) raw_[c] = storage_ + c * channelBytes;
        switch (format_.commonFormat()) {
            case AVAudioCommonFormat::pcmFormatFloat32:
                for (void* p : raw_) float32_.push_back(static_cast<float*>(p));
                break;
            case AVAudioCommonFormat::pcmFormatInt16:
                for (void* p : raw_) int16_.push_back(static_cast<std::int16_t*>(p));
                break;
            case AVAudioCommonFormat::pcmFormatInt32:
                for (void* p : raw_) int32_.push_back(static_cast<std::int32_t*>(p));
                break;
            case AVAudioCommonFormat::pcmFormatFloat64:
            case AVAudioCommonFormat::otherFormat:
                break;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void AVAudioPCMBuffer::setFrameLength(AVAudioFrameCount frameLength) {
    if (frameLength > frameCapacity_) {
        throw std::out_of_range("frame length " + std::to_string(frameLength) + " exceeds the capacity of " +
                                std::to_string(frameCapacity_) + " frames");
    }
    frameLength_ = frameLength;
}

}  // namespace platform
