#pragma once

#include "Parloquin/views/PageContext.h"

class QWidget;

namespace parloquin {

// Builds the page of the section "Audio" afresh, from its initial values.
struct AudioSectionPage {
    static QWidget* make(const PageContext& context);
};

}  // namespace parloquin
