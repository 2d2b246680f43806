#pragma once

#include "Parloquin/views/PageContext.h"

class QWidget;

namespace parloquin {

// Builds the page of the section "Verlauf" afresh, from its initial values.
struct HistorySectionPage {
    static QWidget* make(const PageContext& context);
};

}  // namespace parloquin
