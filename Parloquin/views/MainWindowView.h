#pragma once

#include <QMainWindow>

#include "Parloquin/views/PageContext.h"
#include "Parloquin/views/SidebarSection.h"

namespace parloquin {

class ContentAreaView;
class SidebarView;

// The main window: the sections on the left, the selected section's page on the right. It
// switches to whatever section the shell sends with "showMainWindowSection". Closing it only
// hides it, or minimises it where the shell keeps it in the task bar; the shell keeps it for the
// next time.
class MainWindowView : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int minimumWidth = 800;
    static constexpr int minimumHeight = 500;

    MainWindowView(PageContext context, SidebarSection selectedSection, QWidget* parent = nullptr);

    SidebarSection selectedSection() const { return selectedSection_; }
    void setSelectedSection(SidebarSection section);
    // "showMainWindowSection": a value that names no section leaves the page as it is.
    void showSection(SidebarSection section);

    SidebarView* sidebar() const { return sidebar_; }
    ContentAreaView* contentArea() const { return contentArea_; }
    void setHotkeyManager(HotkeyManager* manager);
    // Closing minimises the window instead (no windowWillClose), so that its task bar entry stays.
    void setMinimizesOnClose(bool minimizes) { minimizesOnClose_ = minimizes; }
    bool minimizesOnClose() const { return minimizesOnClose_; }

signals:
    void windowWillClose();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    SidebarSection selectedSection_;
    SidebarView* sidebar_;
    ContentAreaView* contentArea_;
    bool minimizesOnClose_ = false;
};

}  // namespace parloquin
