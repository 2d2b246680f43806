#include "Parloquin/app/DesktopWindowFlags.h"

#include <QGuiApplication>
#include <QRegion>
#include <QWidget>

#include "Parloquin/app/WaylandPanelPresenter.h"
#include "Platform/desktop/X11WindowHints.h"

namespace parloquin {
namespace {

bool onX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

}  // namespace

Qt::WindowFlags DesktopWindowFlags::overlay() {
    return Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
           Qt::X11BypassWindowManagerHint | Qt::WindowTransparentForInput | Qt::NoDropShadowWindowHint;
}

Qt::WindowFlags DesktopWindowFlags::floatingControl() {
    return Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
           Qt::NoDropShadowWindowHint;
}

void DesktopWindowFlags::prepareFloatingPanel(QWidget* panel) {
    panel->setAttribute(Qt::WA_ShowWithoutActivating);
    panel->setAttribute(Qt::WA_X11DoNotAcceptFocus);
    panel->setAttribute(Qt::WA_TranslucentBackground);
    panel->setFocusPolicy(Qt::NoFocus);
    if (onX11()) platform::X11WindowHints::setOnAllWorkspaces(panel->winId());
    // A Wayland compositor focuses every window that appears: there the panel is a layer panel,
    // which it never focuses. Where it has none (mutter), the panel stays a window.
    WaylandPanelPresenter::attach(panel, !panel->windowFlags().testFlag(Qt::WindowTransparentForInput));
}

void DesktopWindowFlags::shapeToContent(QWidget* panel, const QPainterPath& shape) {
    if (!onX11() || platform::X11WindowHints::compositingManagerRunning()) return;
    panel->setMask(QRegion(shape.toFillPolygon().toPolygon()));
}

}  // namespace parloquin
