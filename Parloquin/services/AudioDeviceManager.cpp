#include "Parloquin/services/AudioDeviceManager.h"

#include <QMetaObject>
#include <algorithm>
#include <cmath>

#include "Parloquin/settings/SettingsKeys.h"
#include "Platform/system/UUID.h"

namespace parloquin {
namespace {

// How often a running level meter publishes the latest level.
constexpr int kLevelIntervalMilliseconds = 30;
constexpr platform::AVAudioFrameCount kLevelBufferFrames = 1024;

}  // namespace

AudioDeviceManager::AudioDeviceManager(std::shared_ptr<platform::AudioHardware> hardware,
                                       platform::UserDefaults& defaults, QObject* parent)
    : QObject(parent),
      hardware_(std::move(hardware)),
      defaults_(defaults),
      logger_("com.parloquin", "AudioDeviceManager") {
    levelTimer_.setInterval(kLevelIntervalMilliseconds);
    connect(&levelTimer_, &QTimer::timeout, this, [this] {
        if (monitoredLevel_) setCurrentAudioLevel(monitoredLevel_->load(std::memory_order_relaxed));
    });
    refreshDevices();
    loadSavedDevice();
    deviceObservation_ = hardware_->observeDevices([this] {
        QMetaObject::invokeMethod(this, [this] { handleDevicesChanged(); }, Qt::QueuedConnection);
    });
}

AudioDeviceManager::~AudioDeviceManager() {
    deviceObservation_.cancel();
    stopLevelMonitoring();
}

void AudioDeviceManager::setCurrentAudioLevel(float level) {
    if (level == currentAudioLevel_) return;
    currentAudioLevel_ = level;
    emit currentAudioLevelChanged();
}

std::vector<AudioDevice> AudioDeviceManager::listDevices() {
    const std::optional<std::string> defaultUID = hardware_->defaultInputDeviceUID();
    std::vector<AudioDevice> devices;
    for (const platform::AudioInputDevice& input : hardware_->inputDevices()) {
        if (!input.name) continue;
        AudioDevice device;
        device.id = input.id;
        device.name = *input.name;
        device.manufacturer = input.manufacturer.value_or("Unknown");
        device.uid = input.uid.empty() ? platform::UUID().uuidString() : input.uid;
        device.isDefault = defaultUID && !input.uid.empty() && input.uid == *defaultUID;
        devices.push_back(std::move(device));
    }
    return devices;
}

void AudioDeviceManager::refreshDevices() {
    availableDevices_ = listDevices();
    emit availableDevicesChanged();
}

void AudioDeviceManager::selectDevice(const AudioDevice& device) {
    setSelectedDevice(device);
    defaults_.setString(settings::kSelectedAudioDeviceUID, device.uid);
}

void AudioDeviceManager::loadSavedDevice() {
    if (const std::optional<std::string> saved = defaults_.stringForKey(settings::kSelectedAudioDeviceUID)) {
        auto found = std::find_if(availableDevices_.begin(), availableDevices_.end(),
                                  [&](const AudioDevice& device) { return device.uid == *saved; });
        if (found != availableDevices_.end()) {
            setSelectedDevice(*found);
            return;
        }
    }
    auto fallback = std::find_if(availableDevices_.begin(), availableDevices_.end(),
                                 [](const AudioDevice& device) { return device.isDefault; });
    setSelectedDevice(fallback != availableDevices_.end() ? std::optional<AudioDevice>(*fallback) : std::nullopt);
}

void AudioDeviceManager::setSelectedDevice(std::optional<AudioDevice> device) {
    if (device == selectedDevice_) return;
    selectedDevice_ = std::move(device);
    emit selectedDeviceChanged();
}

void AudioDeviceManager::handleDevicesChanged() {
    refreshDevices();
    // A remembered input that is back (plugged in again) is chosen again; the chosen one, still
    // listed, takes its fresh id and default flag.
    const std::optional<std::string> saved = defaults_.stringForKey(settings::kSelectedAudioDeviceUID);
    for (const AudioDevice& device : availableDevices_) {
        if (saved && device.uid == *saved && (!selectedDevice_ || selectedDevice_->uid != *saved)) {
            setSelectedDevice(device);
            return;
        }
    }
    if (!selectedDevice_) return;
    for (const AudioDevice& device : availableDevices_) {
        if (device.uid == selectedDevice_->uid) {
            setSelectedDevice(device);
            return;
        }
    }
}

void AudioDeviceManager::followStoredChoice(const std::vector<AudioDevice>& current) {
    const std::optional<std::string> saved = defaults_.stringForKey(settings::kSelectedAudioDeviceUID);
    if (!saved || (selectedDevice_ && selectedDevice_->uid == *saved)) return;
    auto found = std::find_if(current.begin(), current.end(),
                              [&](const AudioDevice& device) { return device.uid == *saved; });
    if (found != current.end()) setSelectedDevice(*found);
}

bool AudioDeviceManager::setInputDevice(platform::AVAudioEngine& engine, const AudioDevice& device) {
    return engine.inputNode().setInputDevice(device.uid);
}

std::optional<AudioDevice> AudioDeviceManager::bindSelectedDevice(platform::AVAudioEngine& engine) {
    // The list may be old: the device is looked up as the system has it now.
    const std::vector<AudioDevice> current = listDevices();
    followStoredChoice(current);
    if (!selectedDevice_) return std::nullopt;
    const AudioDevice chosen = *selectedDevice_;
    auto found = std::find_if(current.begin(), current.end(),
                              [&](const AudioDevice& device) { return device.uid == chosen.uid; });
    if (found == current.end()) {
        logger_.log(platform::OSLogType::error, "Input device \"" + chosen.name + "\" (" + chosen.uid +
                                                    ") is not available; recording from the default input");
        return std::nullopt;
    }
    if (!setInputDevice(engine, *found)) {
        logger_.log(platform::OSLogType::error, "Input device \"" + chosen.name + "\" (" + chosen.uid +
                                                    ") could not be bound; recording from the default input");
        return std::nullopt;
    }
    return *found;
}

bool AudioDeviceManager::checkBinding(platform::AVAudioEngine& engine, const std::optional<AudioDevice>& bound) {
    if (!bound) return true;
    const std::string recorded = engine.inputNode().currentDevice();
    if (recorded == bound->uid) return true;
    logger_.log(platform::OSLogType::error, "Input device \"" + bound->name + "\" (" + bound->uid +
                                                ") was bound, but the recording comes from " +
                                                (recorded.empty() ? std::string("an unknown input") : recorded));
    return false;
}

void AudioDeviceManager::startLevelMonitoring() {
    stopLevelMonitoring();
    if (!selectedDevice_) return;
    levelMonitorEngine_ = std::make_unique<platform::AVAudioEngine>(hardware_);
    const std::optional<AudioDevice> bound = bindSelectedDevice(*levelMonitorEngine_);
    auto level = std::make_shared<std::atomic<float>>(0.0f);
    monitoredLevel_ = level;
    try {
        levelMonitorEngine_->inputNode().installTapOnBus(
            0, kLevelBufferFrames, std::nullopt, [level](const platform::AVAudioPCMBufferPtr& buffer) {
                level->store(audioLevel(*buffer), std::memory_order_relaxed);
            });
        levelMonitorEngine_->start();
    } catch (const std::exception& error) {
        // The engine stays until the next stop, as a running one would.
        logger_.log(platform::OSLogType::error, std::string("❌ Failed to start level monitoring: ") + error.what());
        return;
    }
    checkBinding(*levelMonitorEngine_, bound);
    levelTimer_.start();
}

void AudioDeviceManager::stopLevelMonitoring() {
    levelTimer_.stop();
    if (levelMonitorEngine_) {
        levelMonitorEngine_->stop();
        levelMonitorEngine_->inputNode().removeTapOnBus(0);
        levelMonitorEngine_.reset();
    }
    monitoredLevel_.reset();
    setCurrentAudioLevel(0);
}

float AudioDeviceManager::levelOfMeanSquare(double meanSquare) {
    double rms = std::sqrt(meanSquare);
    if (!(rms >= 0.00001)) rms = 0.00001;  // also for a sample that is not a number
    const double decibels = 20.0 * std::log10(rms);
    return static_cast<float>(std::clamp((decibels + 60.0) / 60.0, 0.0, 1.0));
}

float AudioDeviceManager::audioLevel(const platform::AVAudioPCMBuffer& buffer) {
    float* const* data = buffer.floatChannelData();
    const platform::AVAudioFrameCount frames = buffer.frameLength();
    if (data == nullptr || frames == 0) return 0.0f;
    const std::size_t stride = buffer.stride();
    const float* channel = data[0];
    double sum = 0.0;
    for (platform::AVAudioFrameCount i = 0; i < frames; ++i) {
        const double sample = channel[i * stride];
        sum += sample * sample;
    }
    return levelOfMeanSquare(sum / frames);
}

}  // namespace parloquin
