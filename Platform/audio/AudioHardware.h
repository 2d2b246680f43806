#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Platform/audio/AudioInputBackend.h"
#include "Platform/audio/AudioInputDevice.h"

namespace platform {

// The machine's audio inputs as the sound server knows them. Every function may be called from
// any thread and blocks for one exchange with the server at most.
class AudioHardware {
public:
    class Observation;

    virtual ~AudioHardware() = default;

    // The inputs in the server's order, without the monitors of outputs. Empty when the server
    // cannot be reached.
    virtual std::vector<AudioInputDevice> inputDevices() = 0;
    // The UID of the system's default input; nothing when the server cannot be reached.
    virtual std::optional<std::string> defaultInputDeviceUID() = 0;
    // A capture of its own, bound to the default input.
    virtual std::unique_ptr<AudioInputBackend> makeInputBackend() = 0;
    // Calls the listener (on a thread of the sound server's client) whenever an input comes or
    // goes or the default input changes, until the observation ends. A listener must not end its
    // own observation.
    [[nodiscard]] virtual Observation observeDevices(std::function<void()> listener) = 0;

    // The session's PulseAudio server (which also serves PipeWire desktops). One per process.
    static std::shared_ptr<AudioHardware> system();
};

// Ends an observation when cancelled or destroyed; once cancel() returns the listener is not
// running and will not be called again.
class AudioHardware::Observation {
public:
    Observation() = default;
    explicit Observation(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    ~Observation() { cancel(); }
    Observation(Observation&& other) noexcept : cancel_(std::exchange(other.cancel_, nullptr)) {}
    Observation& operator=(Observation&& other) noexcept {
        if (this != &other) {
            cancel();
            cancel_ = std::exchange(other.cancel_, nullptr);
        }
        return *this;
    }
    Observation(const Observation&) = delete;
    Observation& operator=(const Observation&) = delete;

    void cancel() {
        if (auto cancel = std::exchange(cancel_, nullptr)) cancel();
    }

private:
    std::function<void()> cancel_;
};

}  // namespace platform
