#pragma once

#include "Parloquin/views/PageContext.h"

class QWidget;

namespace parloquin {

// Builds the page of the section "Allgemein" afresh, from its initial values.
struct GeneralSectionPage {
    static QWidget* make(const PageContext& context);
};

}  // namespace parloquin
