#include "Parloquin/app/QtRecordingOverlayWindow.h"

#include <QGuiApplication>
#include <QPropertyAnimation>
#include <QScreen>
#include <QVBoxLayout>

#include "Parloquin/app/DesktopWindowFlags.h"
#include "Parloquin/services/AudioDeviceManager.h"

namespace parloquin {
namespace {

constexpr int kFadeDuration = 300;  // ms

}  // namespace

QtRecordingOverlayWindow::QtRecordingOverlayWindow(RecordingOverlayView::LevelSource level) {
    auto* panel = new QWidget(nullptr, DesktopWindowFlags::overlay());
    panel->setObjectName(QStringLiteral("RecordingOverlayWindow"));
    panel->setWindowTitle(QStringLiteral("Parloquin Aufnahme"));
    DesktopWindowFlags::prepareFloatingPanel(panel);
    panel->setAttribute(Qt::WA_TransparentForMouseEvents);

    auto* view = new RecordingOverlayView(std::move(level), panel);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);

    QRect place(0, 0, width, height);
    if (QScreen* screen = QGuiApplication::primaryScreen()) place = frame(screen->availableGeometry());
    panel->setGeometry(place);
    panel->setFixedSize(width, height);
    DesktopWindowFlags::shapeToContent(panel, view->capsuleShape(place.size()));

    panel_ = panel;
    view_ = view;
}

QtRecordingOverlayWindow::~QtRecordingOverlayWindow() {
    // A panel that fades out frees itself at the end of the fade.
    if (panel_ && !hiding_) delete panel_.data();
}

RecordingOverlayFactory QtRecordingOverlayWindow::factory() {
    return [](AudioDeviceManager& manager) -> std::unique_ptr<RecordingOverlayWindow> {
        // The manager belongs to the service, which outlives the overlay's reads of the level.
        return std::make_unique<QtRecordingOverlayWindow>([&manager] { return manager.currentAudioLevel(); });
    };
}

QRect QtRecordingOverlayWindow::frame(const QRect& availableGeometry) {
    const int x = availableGeometry.x() + availableGeometry.width() / 2 - width / 2;
    const int y = availableGeometry.y() + 10;
    return QRect(x, y, width, height);
}

void QtRecordingOverlayWindow::show() {
    if (!panel_ || hiding_) return;
    panel_->setWindowOpacity(0.0);
    panel_->show();
    panel_->raise();
    auto* fade = new QPropertyAnimation(panel_, "windowOpacity", panel_);
    fade->setDuration(kFadeDuration);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    fade->start(QAbstractAnimation::DeleteWhenStopped);
    fade_ = fade;
}

void QtRecordingOverlayWindow::hide() {
    if (!panel_ || hiding_) return;
    hiding_ = true;
    if (fade_) fade_->stop();
    if (view_) view_->stopUpdating();
    QWidget* panel = panel_;
    auto* fade = new QPropertyAnimation(panel, "windowOpacity", panel);
    fade->setDuration(kFadeDuration);
    fade->setStartValue(panel->windowOpacity());
    fade->setEndValue(0.0);
    QObject::connect(fade, &QPropertyAnimation::finished, panel, [panel] {
        panel->hide();
        panel->close();
        panel->deleteLater();
    });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

}  // namespace parloquin
