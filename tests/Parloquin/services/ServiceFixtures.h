#pragma once

// A dictation service in a box: fake microphones, a fixture recogniser that returns a set text,
// a fake overlay and alerts, and a user-defaults store of its own.

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Parloquin/services/RecordingOverlayWindow.h"
#include "Parloquin/services/SpeechRecognizer.h"
#include "Parloquin/services/TranscriptionService.h"
#include "Parloquin/services/TranscriptionStores.h"
#include "tests/Parloquin/services/DesktopFakes.h"
#include "tests/Parloquin/services/StoreFixtures.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/support/FakeAudioHardware.h"

namespace parloquin_test {

// Returns its text for every recording and notes what it was given, or fails as told.
class FixtureRecognizer : public parloquin::SpeechRecognizer {
public:
    rarivoredu::ASRResult transcribe(std::span<const float> samples, rarivoredu::AudioSource source) override {
        const auto start = std::chrono::steady_clock::now();
        std::function<void()> hook;
        {
            std::lock_guard lock(mutex_);
            calls_.emplace_back(samples.begin(), samples.end());
            sources_.push_back(source);
            if (error_) std::rethrow_exception(error_);
            hook = during_;
        }
        if (hook) hook();
        rarivoredu::ASRResult result;
        result.text = text();
        result.duration = static_cast<double>(samples.size()) / 16000.0;
        result.processingTime = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::lock_guard lock(mutex_);
        lastProcessingTime_ = result.processingTime;
        return result;
    }

    void setText(std::string text) {
        std::lock_guard lock(mutex_);
        text_ = std::move(text);
    }
    std::string text() const {
        std::lock_guard lock(mutex_);
        return text_;
    }
    void failWith(std::exception_ptr error) {
        std::lock_guard lock(mutex_);
        error_ = std::move(error);
    }
    // Runs on the worker inside every call, after the samples were noted.
    void during(std::function<void()> hook) {
        std::lock_guard lock(mutex_);
        during_ = std::move(hook);
    }
    std::vector<std::vector<float>> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    std::vector<rarivoredu::AudioSource> sources() const {
        std::lock_guard lock(mutex_);
        return sources_;
    }
    double lastProcessingTime() const {
        std::lock_guard lock(mutex_);
        return lastProcessingTime_;
    }

private:
    mutable std::mutex mutex_;
    std::string text_ = "Hallo Welt, heute diktiere ich einen kurzen deutschen Satz.";
    std::exception_ptr error_;
    std::function<void()> during_;
    std::vector<std::vector<float>> calls_;
    std::vector<rarivoredu::AudioSource> sources_;
    double lastProcessingTime_ = 0;
};

// Notes when the overlays it stands for are shown and hidden.
struct OverlayLog {
    std::vector<std::string> events;
};

class FakeOverlay : public parloquin::RecordingOverlayWindow {
public:
    explicit FakeOverlay(std::shared_ptr<OverlayLog> log) : log_(std::move(log)) {}
    void show() override { log_->events.push_back("show"); }
    void hide() override { log_->events.push_back("hide"); }

private:
    std::shared_ptr<OverlayLog> log_;
};

// The service with fakes around it and a fixture recogniser.
class ServiceHarness {
public:
    ServiceHarness() {
        hardware->setInputs({testsupport::fakeMicrophone()}, "fake_microphone");
        hardware->setCapture({48000, 480, std::nullopt, {}});  // one second at 48 kHz
    }

    // Makes the service; with ready, its recogniser is up before this returns.
    parloquin::TranscriptionService& make(bool ready = true) {
        parloquin::TranscriptionEnvironment environment;
        environment.defaults = &store.defaults();
        environment.audioHardware = hardware;
        environment.clock = clock;
        environment.alerts = alerts;
        environment.makeRecordingOverlay = [log = overlays](parloquin::AudioDeviceManager&) {
            return std::make_unique<FakeOverlay>(log);
        };
        stores = std::make_shared<parloquin::TranscriptionStores>(store.defaults(), clock);
        environment.sink = stores;
        service = std::make_unique<parloquin::TranscriptionService>(
            [recognizer = recognizer] { return recognizer; }, environment);
        QObject::connect(service.get(), &parloquin::TranscriptionService::stateChanged,
                         [this](parloquin::RecordingState state) { states.push_back(state); });
        if (ready) {
            bool done = false;
            service->initialize([&done](std::exception_ptr) { done = true; });
            waitUntil([&] { return done; });
        }
        return *service;
    }

    // Waits until the service is back at rest after a stop or a file.
    bool waitForIdle() {
        return waitUntil([this] { return !states.empty() && states.back() == parloquin::RecordingState::idle; });
    }

    // One dictation: start, the capture plays its frames, stop, and the service back at rest.
    void dictate() {
        service->startRecording();
        service->stopRecording();
        waitForIdle();
        drainEventLoop();
    }

    // The stores the service writes into, made with it.
    parloquin::HistoryManager& history() { return stores->historyManager(); }
    parloquin::StatisticsManager& statistics() { return stores->statisticsManager(); }

    storetest::Store store;
    std::shared_ptr<storetest::ManualClock> clock = std::make_shared<storetest::ManualClock>();
    std::shared_ptr<testsupport::FakeAudioHardware> hardware = testsupport::FakeAudioHardware::make();
    std::shared_ptr<FixtureRecognizer> recognizer = std::make_shared<FixtureRecognizer>();
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
    std::shared_ptr<OverlayLog> overlays = std::make_shared<OverlayLog>();
    std::vector<parloquin::RecordingState> states;
    std::shared_ptr<parloquin::TranscriptionStores> stores;
    std::unique_ptr<parloquin::TranscriptionService> service;
};

}  // namespace parloquin_test
