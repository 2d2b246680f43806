#pragma once

#include "Parloquin/views/PageContext.h"

class QWidget;

namespace parloquin {

// Builds the page of the section "Sonstiges" afresh, from its initial values.
struct OtherSectionPage {
    static QWidget* make(const PageContext& context);
};

}  // namespace parloquin
