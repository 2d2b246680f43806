#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Parloquin/services/AudioDevice.h"
#include "Platform/audio/AVAudioEngine.h"
#include "Platform/audio/AVAudioPCMBuffer.h"
#include "Platform/audio/AudioHardware.h"
#include "Platform/log/Logger.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

// The audio inputs of the machine, the one the user chose (remembered by its UID under
// "selectedAudioDeviceUID") and a live input level from 0 to 1.
//
// The list follows the sound server: when an input comes or goes or the default input changes,
// the list is rebuilt, and a remembered input that comes back is chosen again. The dictation
// service binds each recording to the chosen input through bindSelectedDevice, which looks the
// input up afresh, and checks the binding once the recording runs.
//
// Main thread only; every change of a published value emits its signal.
class AudioDeviceManager : public QObject {
    Q_OBJECT

public:
    // Lists the inputs and restores the saved choice.
    explicit AudioDeviceManager(std::shared_ptr<platform::AudioHardware> hardware = platform::AudioHardware::system(),
                                platform::UserDefaults& defaults = platform::UserDefaults::standard(),
                                QObject* parent = nullptr);
    ~AudioDeviceManager() override;

    const std::vector<AudioDevice>& availableDevices() const { return availableDevices_; }
    const std::optional<AudioDevice>& selectedDevice() const { return selectedDevice_; }
    float currentAudioLevel() const { return currentAudioLevel_; }
    void setCurrentAudioLevel(float level);

    // Rebuilds the list: inputs without a name are left out, a missing manufacturer reads
    // "Unknown". The selection is left as it is.
    virtual void refreshDevices();
    // Chooses the device and remembers its UID.
    virtual void selectDevice(const AudioDevice& device);
    // The listed device with the remembered UID, else the default input, else none. Writes nothing.
    virtual void loadSavedDevice();
    // Measures the chosen input's level on an engine of its own until stopLevelMonitoring. With no
    // choice the level stays 0. A failure to start is printed; the level then stays 0.
    virtual void startLevelMonitoring();
    virtual void stopLevelMonitoring();
    bool isLevelMonitoring() const { return levelMonitorEngine_ != nullptr; }

    // Binds the engine's input to the chosen device as the system lists it now. The choice stored
    // under "selectedAudioDeviceUID" counts first, so that a choice made through another manager
    // (the audio page keeps one of its own) holds from the next recording on. Returns the device
    // bound, or nothing when the engine stays on the system's default input: no choice, or a chosen
    // device that is gone or cannot be bound (logged).
    std::optional<AudioDevice> bindSelectedDevice(platform::AVAudioEngine& engine);
    // After the engine started: whether it records the device bound; a different one is logged.
    bool checkBinding(platform::AVAudioEngine& engine, const std::optional<AudioDevice>& bound);
    // Binds the engine's input to the device; false when it cannot be bound.
    bool setInputDevice(platform::AVAudioEngine& engine, const AudioDevice& device);

    // The level of channel 0 over every frame: the RMS in decibels (floor -100 dB) mapped
    // linearly from -60 dB → 0 to 0 dB → 1. Buffers without frames or float samples give 0.
    static float audioLevel(const platform::AVAudioPCMBuffer& buffer);
    // The same mapping for a mean of squared samples.
    static float levelOfMeanSquare(double meanSquare);

    const std::shared_ptr<platform::AudioHardware>& hardware() const { return hardware_; }

signals:
    void availableDevicesChanged();
    void selectedDeviceChanged();
    void currentAudioLevelChanged();

private:
    std::vector<AudioDevice> listDevices();
    void handleDevicesChanged();
    // Chooses the stored device when it is listed and not chosen already.
    void followStoredChoice(const std::vector<AudioDevice>& current);
    void setSelectedDevice(std::optional<AudioDevice> device);

    std::shared_ptr<platform::AudioHardware> hardware_;
    platform::UserDefaults& defaults_;
    platform::Logger logger_;

    std::vector<AudioDevice> availableDevices_;
    std::optional<AudioDevice> selectedDevice_;
    float currentAudioLevel_ = 0;

    std::unique_ptr<platform::AVAudioEngine> levelMonitorEngine_;
    std::shared_ptr<std::atomic<float>> monitoredLevel_;  // written on the capture thread
    QTimer levelTimer_;
    platform::AudioHardware::Observation deviceObservation_;
};

}  // namespace parloquin
