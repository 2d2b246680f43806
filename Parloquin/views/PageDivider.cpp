#include "Parloquin/views/PageDivider.h"

#include <QFrame>

#include "Parloquin/views/ThemeColors.h"

namespace parloquin {

QFrame* PageDivider::make(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    QPalette palette = line->palette();
    QColor color = ThemeColors::shared().primary;
    color.setAlphaF(0.12f);
    palette.setColor(QPalette::WindowText, color);
    line->setPalette(palette);
    return line;
}

}  // namespace parloquin
