#pragma once

#include "Parloquin/views/PageContext.h"

class QWidget;

namespace parloquin {

// Builds the page of the section "Datei" afresh, from its initial values.
struct FileSectionPage {
    static QWidget* make(const PageContext& context);
};

}  // namespace parloquin
