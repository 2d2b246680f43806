#pragma once

// Audio inputs without a sound server: a scripted list of devices and captures that play a sine
// tone per channel from a thread of their own, the way a server's capture thread would.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <numbers>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Platform/audio/AVAudioError.h"
#include "Platform/audio/AudioHardware.h"
#include "Platform/system/NSError.h"

namespace testsupport {

class FakeAudioHardware : public platform::AudioHardware, public std::enable_shared_from_this<FakeAudioHardware> {
public:
    struct Input {
        platform::AudioInputDevice device;
        double sampleRate = 48000;
        std::vector<double> frequencies{440.0};  // one tone per channel; its size is the channel count
        std::vector<float> samples;              // when given, channel 0 plays these, then silence
    };

    // What the next captures do.
    struct Capture {
        platform::AVAudioFrameCount frames = 0;        // delivered after start, then nothing
        platform::AVAudioFrameCount chunkFrames = 480;  // per call of the receiver
        std::optional<platform::NSError> startError;   // start throws this instead
        std::string capturedInstead;                   // another input answers for the bound one
    };

    static std::shared_ptr<FakeAudioHardware> make() { return std::make_shared<FakeAudioHardware>(); }

    // Replaces the inputs and tells the listeners from another thread, as a server would.
    void setInputs(std::vector<Input> inputs, std::optional<std::string> defaultUID) {
        {
            std::lock_guard lock(mutex_);
            inputs_ = std::move(inputs);
            default_ = std::move(defaultUID);
        }
        std::thread([this] {
            std::lock_guard lock(listenersMutex_);
            for (auto& [id, listener] : listeners_) listener();
        }).join();
    }
    void setCapture(Capture capture) {
        std::lock_guard lock(mutex_);
        capture_ = std::move(capture);
    }

    // Frames the captures have handed over so far.
    std::uint64_t deliveredFrames() const { return delivered_->load(); }

    // How many captures started, and the UID each was bound to.
    std::vector<std::string> startedCaptures() const {
        std::lock_guard lock(mutex_);
        return started_;
    }

    std::vector<platform::AudioInputDevice> inputDevices() override {
        std::lock_guard lock(mutex_);
        std::vector<platform::AudioInputDevice> devices;
        for (const Input& input : inputs_) devices.push_back(input.device);
        return devices;
    }
    std::optional<std::string> defaultInputDeviceUID() override {
        std::lock_guard lock(mutex_);
        return default_;
    }
    std::unique_ptr<platform::AudioInputBackend> makeInputBackend() override {
        return std::make_unique<Backend>(shared_from_this());
    }
    Observation observeDevices(std::function<void()> listener) override {
        std::lock_guard lock(listenersMutex_);
        const int id = nextListener_++;
        listeners_.emplace(id, std::move(listener));
        std::weak_ptr<FakeAudioHardware> weak = weak_from_this();
        return Observation([weak, id] {
            if (auto self = weak.lock()) {
                std::lock_guard lock(self->listenersMutex_);
                self->listeners_.erase(id);
            }
        });
    }

private:
    class Backend : public platform::AudioInputBackend {
    public:
        explicit Backend(std::shared_ptr<FakeAudioHardware> hardware) : hardware_(std::move(hardware)) {}
        ~Backend() override { stop(); }

        bool setDevice(const std::string& uid) override {
            if (!uid.empty() && !hardware_->find(uid)) return false;
            device_ = uid;
            return true;
        }
        const std::string& device() const override { return device_; }
        std::optional<platform::AVAudioFormat> format() override {
            const std::optional<Input> input = hardware_->find(resolved());
            if (!input) return std::nullopt;
            return platform::AVAudioFormat::make(platform::AVAudioCommonFormat::pcmFormatFloat32, input->sampleRate,
                                                 static_cast<platform::AVAudioChannelCount>(input->frequencies.size()),
                                                 true);
        }
        void start(const platform::AVAudioFormat& format, Receiver receiver) override {
            stop();
            Capture capture;
            {
                std::lock_guard lock(hardware_->mutex_);
                capture = hardware_->capture_;
                hardware_->started_.push_back(device_);
            }
            if (capture.startError) throw *capture.startError;
            const std::optional<Input> input =
                hardware_->find(capture.capturedInstead.empty() ? resolved() : capture.capturedInstead);
            if (!input) {
                throw platform::AVAudioError::make(platform::AVAudioError::captureFailed, "No such input.");
            }
            captured_ = input->device.uid;
            thread_ = std::thread([format, capture, frequencies = input->frequencies, samples = input->samples,
                                   delivered = hardware_->delivered_, receiver = std::move(receiver)] {
                const std::size_t channels = format.channelCount();
                std::vector<float> chunk(std::size_t{capture.chunkFrames} * channels);
                platform::AVAudioFrameCount done = 0;
                while (done < capture.frames) {
                    const platform::AVAudioFrameCount count = std::min(capture.chunkFrames, capture.frames - done);
                    for (platform::AVAudioFrameCount i = 0; i < count; ++i) {
                        for (std::size_t c = 0; c < channels; ++c) {
                            const double f = frequencies[std::min(c, frequencies.size() - 1)];
                            const std::size_t at = std::size_t{done} + i;
                            chunk[i * channels + c] =
                                !samples.empty() && c == 0
                                    ? (at < samples.size() ? samples[at] : 0.0f)
                                    : static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * f *
                                                                        static_cast<double>(at) / format.sampleRate()));
                        }
                    }
                    receiver(chunk.data(), count);
                    done += count;
                    *delivered += count;
                }
            });
        }
        void stop() override {
            if (thread_.joinable()) thread_.join();
            captured_.clear();
        }
        std::string capturedDevice() override { return captured_; }

    private:
        std::string resolved() const {
            if (!device_.empty()) return device_;
            return hardware_->defaultInputDeviceUID().value_or("");
        }

        std::shared_ptr<FakeAudioHardware> hardware_;
        std::string device_;
        std::string captured_;
        std::thread thread_;
    };

    std::optional<Input> find(const std::string& uid) const {
        std::lock_guard lock(mutex_);
        for (const Input& input : inputs_) {
            if (input.device.uid == uid) return input;
        }
        return std::nullopt;
    }

    mutable std::mutex mutex_;
    std::vector<Input> inputs_;
    std::optional<std::string> default_;
    Capture capture_;
    std::vector<std::string> started_;
    std::shared_ptr<std::atomic<std::uint64_t>> delivered_ = std::make_shared<std::atomic<std::uint64_t>>(0);

    std::mutex listenersMutex_;
    std::map<int, std::function<void()>> listeners_;
    int nextListener_ = 1;
};

// A microphone at 48 kHz, mono, the system's default, playing 440 Hz.
inline FakeAudioHardware::Input fakeMicrophone(std::string uid = "fake_microphone", std::uint32_t id = 1) {
    FakeAudioHardware::Input input;
    input.device.id = id;
    input.device.uid = std::move(uid);
    input.device.name = "Eingebautes Mikrofon";
    input.device.manufacturer = "Fake Audio";
    return input;
}

}  // namespace testsupport
