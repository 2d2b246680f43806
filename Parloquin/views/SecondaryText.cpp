#include "Parloquin/views/SecondaryText.h"

#include <QLabel>

#include "Parloquin/views/ThemeColors.h"

namespace parloquin {

QLabel* SecondaryText::label(const QString& text, const QFont& font, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, ThemeColors::shared().secondary);
    label->setPalette(palette);
    return label;
}

}  // namespace parloquin
