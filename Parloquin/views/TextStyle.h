#pragma once

#include <QFont>

namespace parloquin {

// The text styles of the pages, derived from the application's font so that they follow the
// desktop's size setting.
struct TextStyle {
    static QFont title();     // page headers, bold
    static QFont title2();    // sheet titles
    static QFont headline();  // row titles, semibold
    static QFont body();
    static QFont caption();   // explanations under a title
    static QFont caption2();  // the smallest: sidebar subtitles
    // A font of the given size on the scale where body text is 13, so that it keeps its place
    // among the styles above.
    static QFont sized(double points, QFont::Weight weight = QFont::Normal);
};

}  // namespace parloquin
