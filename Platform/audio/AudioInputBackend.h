#pragma once

#include <functional>
#include <optional>
#include <string>

#include "Platform/audio/AVAudioFormat.h"
#include "Platform/audio/AVAudioTypes.h"

namespace platform {

// Where an audio engine's input comes from: one capture of one input device at a time.
class AudioInputBackend {
public:
    // Called on the capture thread with interleaved 32-bit float frames in the started format.
    // A null pointer stands for that many frames of silence (a gap the server reported).
    using Receiver = std::function<void(const float* interleaved, AVAudioFrameCount frames)>;

    virtual ~AudioInputBackend() = default;

    // Binds the input with this UID; the empty UID is the system's default input. False when no
    // such input is known now: the binding is then left as it was.
    virtual bool setDevice(const std::string& uid) = 0;
    // The UID bound; empty for the default input.
    virtual const std::string& device() const = 0;
    // The bound input's own format: 32-bit float, interleaved, at its sample rate and channel
    // count. Nothing when there is no sound server or no such input.
    virtual std::optional<AVAudioFormat> format() = 0;

    // Starts capturing in the given format. Throws NSError (AVAudioError) when the server or the
    // input cannot be reached or refuses.
    virtual void start(const AVAudioFormat& format, Receiver receiver) = 0;
    // Ends the capture. Once it returns the receiver is not running and will not be called again.
    virtual void stop() = 0;
    // While capturing: the UID of the input that is really recorded. Empty otherwise.
    virtual std::string capturedDevice() = 0;
    // The input of the running capture went away (unloaded, unplugged) or was swapped for
    // another: nothing more is delivered. May be asked from any thread.
    virtual bool inputLost() const { return false; }
};

}  // namespace platform
