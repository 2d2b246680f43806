#pragma once

#include <QFont>

namespace parloquin {

// The text styles of the pages, derived from the application's font so that they follow the
// desktop's size setting.
struct TextStyle {
    static QFont title();     // page headers, bold
    static QFont headline();  // row titles, semibold
    static QFont body();
    static QFont caption();   // explanations under a title
    static QFont caption2();  // the smallest: sidebar subtitles
};

}  // namespace parloquin
