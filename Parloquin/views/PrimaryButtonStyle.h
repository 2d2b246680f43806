#pragma once

#include "Parloquin/views/ButtonStyle.h"

namespace parloquin {

// The main action of a page: white on the accent colour.
class PrimaryButtonStyle : public ButtonStyle {
public:
    QColor fillColor() const override;
    QColor textColor() const override;
};

}  // namespace parloquin
