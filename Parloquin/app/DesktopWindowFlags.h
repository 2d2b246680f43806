#pragma once

#include <QPainterPath>
#include <Qt>

class QWidget;

namespace parloquin {

// How the shell's small windows sit on the desktop: borderless, above every other window, on every
// workspace, never taking the focus (a paste must reach the application the user works in).
struct DesktopWindowFlags {
    // The recording overlay: unmanaged by the window manager and transparent for the mouse.
    static Qt::WindowFlags overlay();
    // The floating button: a tool window the user can drag.
    static Qt::WindowFlags floatingControl();

    // Attributes every such window needs before it is shown: shown without activation, no focus,
    // translucent, on every workspace; on Qt's Wayland platform, a layer panel of the compositor
    // where it offers one (WaylandPanelPresenter).
    static void prepareFloatingPanel(QWidget* panel);
    // Without a compositing manager the window's transparent corners would show garbage: cut the
    // window to its content's shape instead.
    static void shapeToContent(QWidget* panel, const QPainterPath& shape);
};

}  // namespace parloquin
