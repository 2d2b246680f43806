#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Platform/audio/AVAudioFormat.h"
#include "Platform/audio/AVAudioPCMBuffer.h"
#include "Platform/audio/AVAudioTypes.h"
#include "Platform/audio/AudioInputBackend.h"

namespace platform {

// Called with each captured buffer. Runs on the capture thread, except for the last, partly
// filled buffer of a capture, which is handed over on the thread that stops the engine. The
// buffer may be kept; a tap that keeps none lets the node reuse it, so capture allocates nothing.
// A tap block must not install or remove taps.
using AVAudioNodeTapBlock = std::function<void(const AVAudioPCMBufferPtr& buffer)>;

// The input of an audio engine: the bound input device, seen as one output bus (bus 0) in the
// device's own format. A tap on bus 0 receives the captured audio in buffers of the size asked
// for, in that format.
class AVAudioInputNode {
public:
    explicit AVAudioInputNode(std::unique_ptr<AudioInputBackend> backend);
    ~AVAudioInputNode();
    AVAudioInputNode(const AVAudioInputNode&) = delete;
    AVAudioInputNode& operator=(const AVAudioInputNode&) = delete;

    // The bound device's format (32-bit float, interleaved, its rate and channel count); nothing
    // for a bus other than 0, or when the device cannot be reached.
    std::optional<AVAudioFormat> outputFormatForBus(AVAudioNodeBus bus);

    // Binds the device with this UID (empty: the system's default input), to take effect at the
    // next start. False when there is no such device: the binding is then unchanged.
    bool setInputDevice(const std::string& uid);
    // The UID bound; empty for the system's default input.
    const std::string& inputDevice() const;
    // While the engine runs: the UID of the device really recorded. Empty otherwise.
    std::string currentDevice();
    // While the engine runs: its input went away or was swapped for another, so the capture
    // delivers nothing more.
    bool inputLost() const;

    // Throws std::invalid_argument for a bus other than 0, a bus that has a tap already, a buffer
    // size of 0, a format other than the bus's output format, or when the output format is unknown.
    void installTapOnBus(AVAudioNodeBus bus, AVAudioFrameCount bufferSize, std::optional<AVAudioFormat> format,
                         AVAudioNodeTapBlock block);
    void removeTapOnBus(AVAudioNodeBus bus);

private:
    friend class AVAudioEngine;

    void start();
    void stop();
    void receive(const float* interleaved, AVAudioFrameCount frames);
    void deliver();  // tapMutex_ held

    std::unique_ptr<AudioInputBackend> backend_;
    std::optional<AVAudioFormat> format_;  // of the bound device, asked once per binding
    bool running_ = false;

    std::mutex tapMutex_;  // the capture thread holds it while it fills and hands over a buffer
    AVAudioNodeTapBlock tap_;
    AVAudioPCMBufferPtr buffer_;
    AVAudioFrameCount filled_ = 0;
};

}  // namespace platform
