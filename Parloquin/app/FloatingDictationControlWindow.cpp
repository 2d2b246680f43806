#include "Parloquin/app/FloatingDictationControlWindow.h"

#include <QGuiApplication>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>

#include "Parloquin/app/DesktopWindowFlags.h"

namespace parloquin {

FloatingDictationControlWindow::FloatingDictationControlWindow(std::function<void()> onToggle) {
    auto* panel = new QWidget(nullptr, DesktopWindowFlags::floatingControl());
    panel->setObjectName(QStringLiteral("FloatingDictationControlWindow"));
    panel->setWindowTitle(QStringLiteral("Parloquin Aufnahmeknopf"));
    DesktopWindowFlags::prepareFloatingPanel(panel);

    view_ = new FloatingDictationControlView(std::move(onToggle), panel);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    panel->setFixedSize(width, height);

    QPainterPath capsule;
    capsule.addRoundedRect(QRectF(0, 0, width, height), height / 2.0, height / 2.0);
    DesktopWindowFlags::shapeToContent(panel, capsule);

    panel_ = panel;
    placeAtHome();
}

FloatingDictationControlWindow::~FloatingDictationControlWindow() { delete panel_.data(); }

QRect FloatingDictationControlWindow::frame(const QRect& availableGeometry) {
    const int x = availableGeometry.x() + availableGeometry.width() - width - 24;
    const int y = availableGeometry.y() + availableGeometry.height() - height - 24;
    return QRect(x, y, width, height);
}

void FloatingDictationControlWindow::placeAtHome() {
    if (!panel_) return;
    if (QScreen* screen = QGuiApplication::primaryScreen()) panel_->setGeometry(frame(screen->availableGeometry()));
}

void FloatingDictationControlWindow::orderFront() {
    if (!panel_) return;
    panel_->show();
    panel_->raise();
}

void FloatingDictationControlWindow::orderOut() {
    if (panel_) panel_->hide();
}

bool FloatingDictationControlWindow::isVisible() const { return panel_ && panel_->isVisible(); }

}  // namespace parloquin
