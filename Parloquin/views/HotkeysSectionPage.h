#pragma once

#include "Parloquin/views/PageContext.h"

class QWidget;

namespace parloquin {

// Builds the page of the section "Tastenkürzel" afresh, from its initial values.
struct HotkeysSectionPage {
    static QWidget* make(const PageContext& context);
};

}  // namespace parloquin
