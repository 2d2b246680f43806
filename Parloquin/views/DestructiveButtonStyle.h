#pragma once

#include "Parloquin/views/ButtonStyle.h"

namespace parloquin {

// Deleting and resetting: white on red.
class DestructiveButtonStyle : public ButtonStyle {
public:
    QColor fillColor() const override;
    QColor textColor() const override;
};

}  // namespace parloquin
