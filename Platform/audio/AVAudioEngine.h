#pragma once

#include <memory>

#include "Platform/audio/AVAudioInputNode.h"
#include "Platform/audio/AudioHardware.h"

namespace platform {

// Records one audio input: bind the input node to a device, install a tap on it, start, stop.
// An engine is made for one recording and may be started again after a stop. Start and stop
// belong to one thread; taps run on the capture thread.
class AVAudioEngine {
public:
    explicit AVAudioEngine(std::shared_ptr<AudioHardware> hardware = AudioHardware::system());
    ~AVAudioEngine();
    AVAudioEngine(const AVAudioEngine&) = delete;
    AVAudioEngine& operator=(const AVAudioEngine&) = delete;

    AVAudioInputNode& inputNode() { return inputNode_; }

    // Starts capturing from the bound input. Throws NSError (AVAudioError) when there is no
    // input to record or the sound server refuses. Starting a running engine does nothing.
    void start();
    // Ends the capture; the last, partly filled tap buffer is handed over before it returns.
    void stop();
    bool isRunning() const noexcept { return inputNode_.running_; }

private:
    std::shared_ptr<AudioHardware> hardware_;
    AVAudioInputNode inputNode_;
};

}  // namespace platform
