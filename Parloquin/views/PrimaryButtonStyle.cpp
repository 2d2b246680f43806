#include "Parloquin/views/PrimaryButtonStyle.h"

#include "Parloquin/views/ThemeColors.h"

namespace parloquin {

QColor PrimaryButtonStyle::fillColor() const { return ThemeColors::shared().accentColor; }
QColor PrimaryButtonStyle::textColor() const { return QColor(Qt::white); }

}  // namespace parloquin
