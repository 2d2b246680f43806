#pragma once

#include <QPointer>
#include <QWidget>

#include "Parloquin/views/PageContext.h"
#include "Parloquin/views/SidebarSection.h"

namespace parloquin {

// The right side of the main window: the page of the selected section, filling the area on the
// control background. A page is built afresh whenever the section changes, so nothing of a page's
// state survives a change of section. Each section's page comes from its own factory
// (GeneralSectionPage, FileSectionPage, …), given the context the window holds.
class ContentAreaView : public QWidget {
public:
    ContentAreaView(PageContext context, SidebarSection section, QWidget* parent = nullptr);

    SidebarSection section() const { return section_; }
    // Shows the section's page; the same section again keeps the page as it is.
    void setSection(SidebarSection section);
    QWidget* page() const { return page_; }

    const PageContext& context() const { return context_; }
    // For pages built from now on.
    void setHotkeyManager(HotkeyManager* manager) { context_.hotkeyManager = manager; }

    static QWidget* makePage(SidebarSection section, const PageContext& context);

private:
    void showPage();

    PageContext context_;
    SidebarSection section_;
    QPointer<QWidget> page_;
};

}  // namespace parloquin
