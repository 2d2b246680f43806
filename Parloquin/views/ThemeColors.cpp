#include "Parloquin/views/ThemeColors.h"

#include <QGuiApplication>
#include <QPalette>

namespace parloquin {

const ThemeColors& ThemeColors::shared() {
    static const ThemeColors colors = fromPalette(QGuiApplication::palette());
    return colors;
}

ThemeColors ThemeColors::fromPalette(const QPalette& palette) {
    ThemeColors colors;
    colors.primary = palette.color(QPalette::Text);
    colors.secondary = palette.color(QPalette::PlaceholderText);
    colors.accentColor = palette.color(QPalette::Highlight);
    colors.green = QColor(48, 164, 78);
    colors.orange = QColor(240, 148, 0);
    colors.red = QColor(212, 56, 48);
    colors.controlBackgroundColor = palette.color(QPalette::Base);
    colors.controlColor = palette.color(QPalette::Button);
    return colors;
}

}  // namespace parloquin
