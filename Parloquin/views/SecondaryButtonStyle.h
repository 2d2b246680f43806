#pragma once

#include "Parloquin/views/ButtonStyle.h"

namespace parloquin {

// Any other action: text in the primary colour on a plain control.
class SecondaryButtonStyle : public ButtonStyle {
public:
    QColor fillColor() const override;
    QColor textColor() const override;
};

}  // namespace parloquin
