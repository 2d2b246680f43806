#include "Parloquin/views/Divider.h"

#include "Parloquin/views/ThemeColors.h"

namespace parloquin {

Divider::Divider(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::HLine);
    setFrameShadow(QFrame::Plain);
    setFixedHeight(1);
    QPalette palette = this->palette();
    QColor color = ThemeColors::shared().primary;
    color.setAlphaF(0.12f);
    palette.setColor(QPalette::WindowText, color);
    setPalette(palette);
}

}  // namespace parloquin
