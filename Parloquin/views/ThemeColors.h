#pragma once

#include <QColor>

class QPalette;

namespace parloquin {

// The colours the pages and their buttons share, taken once from the application's palette (and
// a few fixed signal colours that read well on light and dark backgrounds).
struct ThemeColors {
    QColor primary;    // text
    QColor secondary;  // explanations, captions
    QColor accentColor;
    QColor green;
    QColor orange;
    QColor red;
    QColor controlBackgroundColor;  // behind the pages
    QColor controlColor;            // plain buttons

    // Made on first use.
    static const ThemeColors& shared();
    static ThemeColors fromPalette(const QPalette& palette);
};

}  // namespace parloquin
