#pragma once

#include "Parloquin/views/PageContext.h"

class QWidget;

namespace parloquin {

// Builds the page of the section "Statistiken" afresh, from its initial values.
struct StatisticsSectionPage {
    static QWidget* make(const PageContext& context);
};

}  // namespace parloquin
