#pragma once

#include <QScrollArea>
#include <memory>
#include <vector>

#include "Parloquin/views/PageContext.h"

class QLabel;
class QVBoxLayout;

namespace parloquin {

class AudioDeviceManager;
class AudioDeviceRow;
class AudioLevelMeter;
class StyledButton;
struct AudioDevice;

// The page "Audio": the microphones with the chosen one marked, a live level test, tips, and the
// way to the desktop's sound settings. The page owns a device manager of its own while it is
// shown; the choice it stores reaches the dictation service at its next recording.
class AudioSettingsView : public QScrollArea {
public:
    explicit AudioSettingsView(const PageContext& context, QWidget* parent = nullptr);
    ~AudioSettingsView() override;

    // The row actions and buttons.
    void selectDevice(const AudioDevice& device);
    void refreshDevices();
    void startTest();
    void stopTest();
    // What happens when the page goes: a running test stops.
    void stopMonitoring();
    void openMicrophonePrivacySettings();

    AudioDeviceManager& audioDeviceManager() const { return *audioDeviceManager_; }
    bool isMonitoring() const { return isMonitoring_; }
    const std::vector<AudioDeviceRow*>& deviceRows() const { return rows_; }
    QLabel* emptyListWarning() const { return emptyWarning_; }
    StyledButton* refreshButton() const { return refreshButton_; }
    // "Test starten" while idle, "Test stoppen" while the test runs.
    StyledButton* testButton() const { return isMonitoring_ ? stopButton_ : startButton_; }
    QLabel* monitoringStatus() const { return monitoringStatus_; }
    AudioLevelMeter* levelMeter() const { return meter_; }
    // The sound settings button, when the desktop has sound settings.
    StyledButton* soundSettingsButton() const { return soundSettingsButton_; }
    QLabel* permissionText() const { return permissionText_; }

protected:
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* deviceSection(QWidget* parent);
    QWidget* levelTestSection(QWidget* parent);
    QWidget* tipsSection(QWidget* parent);
    QWidget* permissionCard(QWidget* parent);
    void showDevices();
    void showMonitoring();

    PageContext context_;
    std::shared_ptr<platform::NSWorkspace> workspace_;
    std::unique_ptr<AudioDeviceManager> audioDeviceManager_;
    bool isMonitoring_ = false;

    QVBoxLayout* rowsLayout_ = nullptr;
    std::vector<AudioDeviceRow*> rows_;
    QWidget* emptyList_ = nullptr;
    QLabel* emptyWarning_ = nullptr;
    StyledButton* refreshButton_ = nullptr;
    QLabel* monitoringStatus_ = nullptr;
    AudioLevelMeter* meter_ = nullptr;
    StyledButton* startButton_ = nullptr;
    StyledButton* stopButton_ = nullptr;
    QLabel* speakHint_ = nullptr;
    StyledButton* soundSettingsButton_ = nullptr;
    QLabel* permissionText_ = nullptr;
};

}  // namespace parloquin
