#pragma once

#include <QAbstractButton>

namespace parloquin {

// An on/off switch: a rounded track, filled with the accent colour while on, and a round knob.
// It has no label of its own; give it an accessible name that says what it switches.
class ToggleSwitch : public QAbstractButton {
public:
    explicit ToggleSwitch(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& position) const override;
};

}  // namespace parloquin
