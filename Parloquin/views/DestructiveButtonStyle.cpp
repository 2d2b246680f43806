#include "Parloquin/views/DestructiveButtonStyle.h"

#include "Parloquin/views/ThemeColors.h"

namespace parloquin {

QColor DestructiveButtonStyle::fillColor() const { return ThemeColors::shared().red; }
QColor DestructiveButtonStyle::textColor() const { return QColor(Qt::white); }

}  // namespace parloquin
