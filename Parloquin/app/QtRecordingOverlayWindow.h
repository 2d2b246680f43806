#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>

#include "Parloquin/app/RecordingOverlayView.h"
#include "Parloquin/services/RecordingOverlayWindow.h"

class QPropertyAnimation;

namespace parloquin {

// The recording overlay on the desktop: a 300 × 50 borderless window at the top centre of the
// primary screen's available area, above every other window, that never takes the focus and lets
// the mouse through to whatever lies below.
//
// hide() fades the window out; it closes and frees itself at the end of the fade, also when this
// object is gone by then. The level is no longer read once hide() was called.
class QtRecordingOverlayWindow : public RecordingOverlayWindow {
public:
    static constexpr int width = 300;
    static constexpr int height = 50;

    explicit QtRecordingOverlayWindow(RecordingOverlayView::LevelSource level);
    ~QtRecordingOverlayWindow() override;
    QtRecordingOverlayWindow(const QtRecordingOverlayWindow&) = delete;
    QtRecordingOverlayWindow& operator=(const QtRecordingOverlayWindow&) = delete;

    // Fades in over 0.3 s, in front of every window, without activating anything.
    void show() override;
    // Fades out over 0.3 s, then closes.
    void hide() override;

    // Overlays that show the level of the dictation service's device manager.
    static RecordingOverlayFactory factory();

    // The window's place: centred, 10 below the top of the available area.
    static QRect frame(const QRect& availableGeometry);

    // Gone once the fade-out has ended.
    QWidget* panel() const { return panel_; }
    RecordingOverlayView* view() const { return view_; }

private:
    QPointer<QWidget> panel_;
    QPointer<RecordingOverlayView> view_;
    QPointer<QPropertyAnimation> fade_;
    bool hiding_ = false;
};

}  // namespace parloquin
