#pragma once

class QFrame;
class QWidget;

namespace parloquin {

// The thin line between the sections of a page.
struct PageDivider {
    static QFrame* make(QWidget* parent);
};

}  // namespace parloquin
