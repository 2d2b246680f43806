#pragma once

#include <QFrame>

namespace parloquin {

// The thin line between the sections of a page.
class Divider : public QFrame {
public:
    explicit Divider(QWidget* parent = nullptr);
};

}  // namespace parloquin
