#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Platform/audio/AVAudioFormat.h"
#include "Platform/audio/AudioHardware.h"
#include "Platform/audio/PulseAudioConnection.h"

namespace platform {

// The inputs of a PulseAudio server: its sources without the monitors of its sinks. A device's
// name is the source's description, its manufacturer the "device.vendor.name" property, its UID
// the source's name and its id the source's index.
//
// Holds one connection, made on first use and made again after the server went away; listeners
// of device changes are told when a new connection is made, as the inputs may differ.
class PulseAudioHardware : public AudioHardware, public std::enable_shared_from_this<PulseAudioHardware> {
public:
    static std::shared_ptr<PulseAudioHardware> make(std::string applicationName = "Parloquin");

    std::vector<AudioInputDevice> inputDevices() override;
    std::optional<std::string> defaultInputDeviceUID() override;
    std::unique_ptr<AudioInputBackend> makeInputBackend() override;
    Observation observeDevices(std::function<void()> listener) override;

    // The live connection. Throws NSError (AVAudioError::deviceUnavailable) without a server.
    std::shared_ptr<PulseAudioConnection> connection();
    // The format of the input with this UID (empty: the default input), as AudioInputBackend
    // describes it; nothing when there is no such input or no server.
    std::optional<AVAudioFormat> inputFormat(const std::string& uid);

private:
    explicit PulseAudioHardware(std::string applicationName) : applicationName_(std::move(applicationName)) {}
    // The live connection, or nothing without a server.
    std::shared_ptr<PulseAudioConnection> liveConnection();
    void notifyListeners();

    std::string applicationName_;
    std::mutex connectionMutex_;
    std::shared_ptr<PulseAudioConnection> connection_;

    std::mutex listenersMutex_;  // held while listeners run, so that cancelling waits for them
    std::map<std::uint64_t, std::function<void()>> listeners_;
    std::uint64_t nextListener_ = 1;
};

}  // namespace platform
