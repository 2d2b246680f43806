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
    QColor blue;
    QColor purple;
    QColor cyan;
    QColor indigo;
    QColor gray;
    QColor yellow;
    QColor controlBackgroundColor;  // behind the pages
    QColor controlColor;            // plain buttons

    // The colour with its alpha set to the value given.
    static QColor withAlpha(QColor color, qreal alpha);
    // The colour at the opacity given, on top of its own: a translucent colour stays lighter.
    static QColor withOpacity(QColor color, qreal opacity);

    // Made on first use.
    static const ThemeColors& shared();
    static ThemeColors fromPalette(const QPalette& palette);
};

}  // namespace parloquin
