#pragma once

class QFrame;
class QWidget;

namespace parloquin {

// The thin line between the parts of a page.
struct PageDivider {
    static QFrame* make(QWidget* parent);
};

}  // namespace parloquin
