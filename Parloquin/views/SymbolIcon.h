#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QStringList>
#include <string_view>

namespace parloquin {

// The symbols the pages draw ("gearshape.fill", "mic.fill", …): the desktop icon theme's icon for
// the symbol where the theme has one, else a small drawing that comes with the application, since
// a bare desktop has no theme. Symbols are drawn in one colour.
struct SymbolIcon {
    static QIcon icon(std::string_view symbol);
    // The symbol at the given size in points, filled with the colour.
    static QPixmap pixmap(std::string_view symbol, int size, const QColor& color, qreal devicePixelRatio = 1.0);

    // The theme names asked for, best first; empty for an unknown symbol.
    static QStringList themeNames(std::string_view symbol);
    // The application's own drawing of the symbol.
    static QString fallbackPath(std::string_view symbol);
};

}  // namespace parloquin
