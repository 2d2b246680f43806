#include "Parloquin/app/WaylandPanelPresenter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWidget>

namespace parloquin {
namespace {

bool onQtWayland() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

Qt::MouseButton qtButton(std::uint32_t button) {
    switch (button) {
        case 0x110: return Qt::LeftButton;  // BTN_LEFT
        case 0x111: return Qt::RightButton;
        case 0x112: return Qt::MiddleButton;
        default: return Qt::NoButton;
    }
}

}  // namespace

bool WaylandPanelPresenter::isAvailable() {
    return onQtWayland() && platform::WaylandLayerPanel::create("parloquin-probe", false) != nullptr;
}

WaylandPanelPresenter* WaylandPanelPresenter::attach(QWidget* panel, bool takesPointer) {
    if (panel == nullptr || !onQtWayland()) return nullptr;
    auto layer = platform::WaylandLayerPanel::create(
        panel->objectName().isEmpty() ? "parloquin" : panel->objectName().toStdString(), takesPointer);
    if (!layer) return nullptr;
    return new WaylandPanelPresenter(panel, std::move(layer));
}

WaylandPanelPresenter::WaylandPanelPresenter(QWidget* panel, std::unique_ptr<platform::WaylandLayerPanel> layer)
    : QObject(panel), panel_(panel), layer_(std::move(layer)) {
    // The widget is shown, laid out and animated as before, but never becomes a Wayland window.
    panel->setAttribute(Qt::WA_DontShowOnScreen);
    panel->installEventFilter(this);
    frames_.setInterval(kFrameInterval);
    connect(&frames_, &QTimer::timeout, this, [this] { drawFrame(); });
    layer_->onPointer = [this](const platform::WaylandLayerPanel::PointerEvent& event) { forward(event); };
}

bool WaylandPanelPresenter::eventFilter(QObject* watched, QEvent* event) {
    if (watched == panel_) {
        switch (event->type()) {
            case QEvent::Show:
                frames_.start();
                QMetaObject::invokeMethod(this, [this] { drawFrame(); }, Qt::QueuedConnection);
                break;
            case QEvent::Hide:
                frames_.stop();
                layer_->hide();
                break;
            case QEvent::Move:
                if (panel_->isVisible()) drawFrame();
                break;
            default:
                break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void WaylandPanelPresenter::drawFrame() {
    if (!panel_ || !panel_->isVisible()) return;
    const QSize size = panel_->size();
    if (size.isEmpty()) return;
    QImage picture(size, QImage::Format_ARGB32_Premultiplied);  // the layout of Wayland's ARGB8888
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setOpacity(panel_->windowOpacity());
        panel_->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    }
    // The widget's geometry is in the screen's coordinates; the panel is placed from its output's corner.
    QPoint place = panel_->pos();
    if (QScreen* screen = panel_->screen()) place -= screen->geometry().topLeft();
    layer_->present(picture.constBits(), picture.width(), picture.height(), int(picture.bytesPerLine()), place.x(),
                    place.y());
}

void WaylandPanelPresenter::forward(const platform::WaylandLayerPanel::PointerEvent& event) {
    if (!panel_) return;
    const QPoint local(event.x, event.y);
    QWidget* target = panel_->childAt(local);
    if (target == nullptr) target = panel_;
    const QPointF targetLocal = target->mapFrom(panel_, QPointF(local));
    const QPointF global = QPointF(panel_->pos() + local);
    using Type = platform::WaylandLayerPanel::PointerEvent::Type;
    switch (event.type) {
        case Type::press:
        case Type::release: {
            const Qt::MouseButton button = qtButton(event.button);
            if (button == Qt::NoButton) return;
            if (event.type == Type::press) buttons_ |= button;
            else buttons_ &= ~Qt::MouseButtons(button);
            QMouseEvent mouse(event.type == Type::press ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease,
                              targetLocal, global, button, buttons_, QGuiApplication::keyboardModifiers());
            QCoreApplication::sendEvent(target, &mouse);
            break;
        }
        case Type::motion: {
            QMouseEvent mouse(QEvent::MouseMove, targetLocal, global, Qt::NoButton, buttons_,
                              QGuiApplication::keyboardModifiers());
            QCoreApplication::sendEvent(target, &mouse);
            break;
        }
        case Type::leave:
            buttons_ = Qt::NoButton;
            break;
    }
}

}  // namespace parloquin
