#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "Platform/desktop/wayland/WaylandLayerPanel.h"

class QWidget;

namespace parloquin {

// Shows one of the shell's small windows (the recording overlay, the floating button) on Qt's
// Wayland platform as a layer panel of the compositor, which never takes the keyboard focus: a
// Wayland window would take it when it appears (the focused application would lose the paste, and
// the hotkey's second press would go to the overlay). The widget itself stays off screen; it is
// drawn into the panel while it is visible, placed where its geometry says, and gets the panel's
// pointer events as mouse events.
class WaylandPanelPresenter : public QObject {
public:
    static constexpr int kFrameInterval = 33;  // ms: about 30 pictures a second while shown

    // Whether this process would present its panels this way: Qt's Wayland platform on a
    // compositor with the layer shell.
    static bool isAvailable();
    // Attaches a presenter to the panel, which must not have been shown yet; nullptr (and nothing
    // changed) where it is not available. The presenter belongs to the panel.
    static WaylandPanelPresenter* attach(QWidget* panel, bool takesPointer);

    bool isPresenting() const { return layer_ && layer_->isShown(); }

private:
    WaylandPanelPresenter(QWidget* panel, std::unique_ptr<platform::WaylandLayerPanel> layer);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void drawFrame();
    void forward(const platform::WaylandLayerPanel::PointerEvent& event);

    QPointer<QWidget> panel_;
    std::unique_ptr<platform::WaylandLayerPanel> layer_;
    QTimer frames_;
    Qt::MouseButtons buttons_;
};

}  // namespace parloquin
