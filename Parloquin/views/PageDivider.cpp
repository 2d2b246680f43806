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
    palette.setColor(QPalette::WindowText, ThemeColors::withAlpha(ThemeColors::shared().primary, 0.12));
    line->setPalette(palette);
    return line;
}

}  // namespace parloquin
