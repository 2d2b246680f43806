#include "Platform/audio/AVAudioInputNode.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "Platform/audio/AVAudioError.h"

namespace platform {

AVAudioInputNode::AVAudioInputNode(std::unique_ptr<AudioInputBackend> backend) : backend_(std::move(backend)) {}

AVAudioInputNode::~AVAudioInputNode() { stop(); }

std::optional<AVAudioFormat> AVAudioInputNode::outputFormatForBus(AVAudioNodeBus bus) {
    if (bus != 0) return std::nullopt;
    if (!format_) format_ = backend_->format();
    return format_;
}

bool AVAudioInputNode::setInputDevice(const std::string& uid) {
    if (!backend_->setDevice(uid)) return false;
    format_.reset();
    return true;
}

const std::string& AVAudioInputNode::inputDevice() const { return backend_->device(); }

std::string AVAudioInputNode::currentDevice() { return running_ ? backend_->capturedDevice() : std::string(); }

bool AVAudioInputNode::inputLost() const { return running_ && backend_->inputLost(); }

void AVAudioInputNode::installTapOnBus(AVAudioNodeBus bus, AVAudioFrameCount bufferSize,
                                       std::optional<AVAudioFormat> format, AVAudioNodeTapBlock block) {
    if (bus != 0) throw std::invalid_argument("An input node has only bus 0.");
    if (bufferSize == 0) throw std::invalid_argument("A tap needs a buffer size above 0.");
    const std::optional<AVAudioFormat> output = outputFormatForBus(0);
    if (!output) throw std::invalid_argument("The input device's format is unknown.");
    if (format && *format != *output) throw std::invalid_argument("A tap takes the bus's output format.");
    AVAudioPCMBufferPtr buffer = AVAudioPCMBuffer::make(*output, bufferSize);
    if (!buffer) throw std::bad_alloc();

    std::lock_guard lock(tapMutex_);
    if (tap_) throw std::invalid_argument("Bus 0 has a tap already.");
    tap_ = std::move(block);
    buffer_ = std::move(buffer);
    filled_ = 0;
}

void AVAudioInputNode::removeTapOnBus(AVAudioNodeBus bus) {
    if (bus != 0) return;
    std::lock_guard lock(tapMutex_);
    tap_ = nullptr;
    buffer_.reset();
    filled_ = 0;
}

void AVAudioInputNode::start() {
    if (running_) return;
    const std::optional<AVAudioFormat> format = outputFormatForBus(0);
    if (!format) {
        throw AVAudioError::make(AVAudioError::deviceUnavailable, "No audio input device is available.");
    }
    {
        std::lock_guard lock(tapMutex_);
        filled_ = 0;
    }
    backend_->start(*format, [this](const float* interleaved, AVAudioFrameCount frames) { receive(interleaved, frames); });
    running_ = true;
}

void AVAudioInputNode::stop() {
    if (!running_) return;
    backend_->stop();
    running_ = false;
    // What was captured after the last full buffer is handed over too: the end of a recording is
    // usually its last word.
    std::lock_guard lock(tapMutex_);
    if (tap_ && filled_ > 0) deliver();
}

void AVAudioInputNode::receive(const float* interleaved, AVAudioFrameCount frames) {
    std::lock_guard lock(tapMutex_);
    if (!tap_) return;
    const std::size_t channels = buffer_->format().channelCount();
    while (frames > 0) {
        const AVAudioFrameCount count = std::min(frames, buffer_->frameCapacity() - filled_);
        float* destination = buffer_->floatChannelData()[0] + std::size_t{filled_} * channels;
        const std::size_t samples = std::size_t{count} * channels;
        if (interleaved != nullptr) {
            std::memcpy(destination, interleaved, samples * sizeof(float));
            interleaved += samples;
        } else {
            std::fill(destination, destination + samples, 0.0f);
        }
        filled_ += count;
        frames -= count;
        if (filled_ == buffer_->frameCapacity()) deliver();
    }
}

void AVAudioInputNode::deliver() {
    buffer_->setFrameLength(filled_);
    filled_ = 0;
    tap_(buffer_);
    // Someone kept the buffer: fill a new one. Otherwise it is reused as it is.
    if (buffer_.use_count() > 1) {
        AVAudioPCMBufferPtr next = AVAudioPCMBuffer::make(buffer_->format(), buffer_->frameCapacity());
        if (next) buffer_ = std::move(next);
    }
}

}  // namespace platform
