#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <functional>

#include "Parloquin/app/FloatingDictationControlView.h"

namespace parloquin {

// The floating record button's window: 148 × 42, borderless, above every other window and on
// every workspace, never taking the focus. Its home is 24 from the right and bottom edges of the
// primary screen's available area. Built hidden.
class FloatingDictationControlWindow {
public:
    static constexpr int width = 148;
    static constexpr int height = 42;

    explicit FloatingDictationControlWindow(std::function<void()> onToggle);
    ~FloatingDictationControlWindow();
    FloatingDictationControlWindow(const FloatingDictationControlWindow&) = delete;
    FloatingDictationControlWindow& operator=(const FloatingDictationControlWindow&) = delete;

    static QRect frame(const QRect& availableGeometry);

    // Back to the home position (when there is a screen).
    void placeAtHome();
    // Shown in front, without activating the application.
    void orderFront();
    void orderOut();
    bool isVisible() const;

    QWidget* panel() const { return panel_; }
    FloatingDictationControlView* view() const { return view_; }

private:
    QPointer<QWidget> panel_;
    FloatingDictationControlView* view_ = nullptr;
};

}  // namespace parloquin
