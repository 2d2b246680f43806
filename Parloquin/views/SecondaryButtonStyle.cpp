#include "Parloquin/views/SecondaryButtonStyle.h"

#include "Parloquin/views/ThemeColors.h"

namespace parloquin {

QColor SecondaryButtonStyle::fillColor() const { return ThemeColors::shared().controlColor; }
QColor SecondaryButtonStyle::textColor() const { return QColor(ThemeColors::shared().primary); }

}  // namespace parloquin
