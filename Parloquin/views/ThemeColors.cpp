#include "Parloquin/views/ThemeColors.h"

#include <QGuiApplication>
#include <QPalette>

namespace parloquin {

const ThemeColors& ThemeColors::shared() {
    static const ThemeColors colors = fromPalette(QGuiApplication::palette());
    return colors;
}

QColor ThemeColors::withAlpha(QColor color, qreal alpha) {
    color.setAlphaF(alpha);
    return color;
}

QColor ThemeColors::withOpacity(QColor color, qreal opacity) {
    color.setAlphaF(color.alphaF() * opacity);
    return color;
}

ThemeColors ThemeColors::fromPalette(const QPalette& palette) {
    ThemeColors colors;
    colors.primary = palette.color(QPalette::Text);
    colors.secondary = palette.color(QPalette::PlaceholderText);
    colors.accentColor = palette.color(QPalette::Highlight);
    colors.green = QColor(48, 164, 78);
    colors.orange = QColor(240, 148, 0);
    colors.red = QColor(212, 56, 48);
    colors.blue = QColor(0, 122, 255);
    colors.purple = QColor(175, 82, 222);
    colors.cyan = QColor(50, 173, 230);
    colors.indigo = QColor(88, 86, 214);
    colors.gray = QColor(142, 142, 147);
    colors.yellow = QColor(255, 204, 0);
    colors.controlBackgroundColor = palette.color(QPalette::Base);
    colors.controlColor = palette.color(QPalette::Button);
    return colors;
}

}  // namespace parloquin
