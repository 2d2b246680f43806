#pragma once

#include <QAbstractButton>
#include <functional>

#include "Parloquin/services/AudioDevice.h"

class QLabel;

namespace parloquin {

// One microphone of the audio page: a check mark when it is the chosen one, else a microphone; its
// name; the badge "Systemstandard" on the system's default input. A click chooses it.
class AudioDeviceRow : public QAbstractButton {
public:
    AudioDeviceRow(AudioDevice device, bool isSelected, std::function<void()> onSelect, QWidget* parent = nullptr);

    const AudioDevice& device() const { return device_; }
    bool isSelected() const { return isSelected_; }
    // The badge, when the device is the default input.
    QLabel* badge() const { return badge_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    AudioDevice device_;
    bool isSelected_;
    std::function<void()> onSelect_;
    QLabel* symbol_;
    QLabel* name_;
    QLabel* badge_ = nullptr;
};

}  // namespace parloquin
