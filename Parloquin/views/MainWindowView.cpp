#include "Parloquin/views/MainWindowView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QSplitter>

#include "Parloquin/views/ContentAreaView.h"
#include "Parloquin/views/MainWindowNotifications.h"
#include "Parloquin/views/SidebarView.h"

namespace parloquin {

MainWindowView::MainWindowView(PageContext context, SidebarSection selectedSection, QWidget* parent)
    : QMainWindow(parent), selectedSection_(selectedSection) {
    setObjectName(QStringLiteral("MainWindow"));
    setMinimumSize(minimumWidth, minimumHeight);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setChildrenCollapsible(false);
    split->setHandleWidth(1);
    sidebar_ = new SidebarView(selectedSection, split);
    contentArea_ = new ContentAreaView(std::move(context), selectedSection, split);
    split->addWidget(sidebar_);
    split->addWidget(contentArea_);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({SidebarView::idealWidth, minimumWidth});
    setCentralWidget(split);

    connect(sidebar_, &SidebarView::sectionSelected, this, [this](SidebarSection s) { setSelectedSection(s); });
    connect(MainWindowNotifications::defaultCenter(), &MainWindowNotifications::showMainWindowSection, this,
            [this](SidebarSection s) { showSection(s); });
}

void MainWindowView::setSelectedSection(SidebarSection section) {
    selectedSection_ = section;
    sidebar_->setSelectedSection(section);
    contentArea_->setSection(section);
}

void MainWindowView::showSection(SidebarSection section) {
    if (isSidebarSection(section)) setSelectedSection(section);
}

void MainWindowView::setHotkeyManager(HotkeyManager* manager) { contentArea_->setHotkeyManager(manager); }

void MainWindowView::closeEvent(QCloseEvent* event) {
    // The session ending closes every window; a window that refused would stop the logout.
    if (minimizesOnClose_ && !(qApp && qApp->isSavingSession())) {
        event->ignore();
        setWindowState(windowState() | Qt::WindowMinimized);
        return;
    }
    event->accept();
    emit windowWillClose();
}

}  // namespace parloquin
