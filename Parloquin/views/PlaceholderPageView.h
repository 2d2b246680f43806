#pragma once

#include <QWidget>

#include "Parloquin/views/SidebarSection.h"

namespace parloquin {

// A page that is not there yet: its title, nothing more.
class PlaceholderPageView : public QWidget {
public:
    explicit PlaceholderPageView(SidebarSection section, QWidget* parent = nullptr);
};

}  // namespace parloquin
