#pragma once

#include <QWidget>

#include "Parloquin/views/SidebarSection.h"

class QListWidget;

namespace parloquin {

// The left column of the main window: "EINSTELLUNGEN" over the list of all sections, one of them
// selected. Choosing another (by mouse or keys) says so at once.
class SidebarView : public QWidget {
    Q_OBJECT
public:
    static constexpr int minimumWidth = 200;
    static constexpr int idealWidth = 220;
    static constexpr int maximumWidth = 250;

    explicit SidebarView(SidebarSection selectedSection, QWidget* parent = nullptr);

    SidebarSection selectedSection() const;
    // Selects the section without saying so.
    void setSelectedSection(SidebarSection section);
    QListWidget* list() const { return list_; }

signals:
    void sectionSelected(parloquin::SidebarSection section);

private:
    QListWidget* list_;
};

}  // namespace parloquin
