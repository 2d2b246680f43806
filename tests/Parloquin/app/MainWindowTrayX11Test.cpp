// The main window on a real X server, opened from the shell's icon in a stand-alone system tray.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QTest>

#include "Parloquin/app/AppDelegate.h"
#include "Parloquin/services/HistoryManager.h"
#include "tests/Parloquin/app/AppHarness.h"
#include "tests/Parloquin/app/StandaloneTray.h"
#include "tests/Platform/desktop/XTestMouse.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using parloquin::AppDelegate;
using parloquin::MainWindowView;
using parloquin::SidebarSection;
using parloquin_test::AppHarness;
using parloquin_test::StandaloneTray;
using parloquin_test::waitUntil;
using parloquin_test::XTestMouse;

QAction* entry(QMenu* menu, const QString& title) {
    for (QAction* action : menu->actions())
        if (action->text() == title) return action;
    return nullptr;
}

std::vector<MainWindowView*> mainWindows() {
    std::vector<MainWindowView*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = dynamic_cast<MainWindowView*>(widget)) windows.push_back(window);
    return windows;
}

// The smallest size the window asks the window manager for.
QSize minimumSizeHint(const QWidget& window) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return {};
    XSizeHints hints{};
    long supplied = 0;
    QSize size;
    if (XGetWMNormalHints(display, window.winId(), &hints, &supplied) && (hints.flags & PMinSize))
        size = QSize(hints.min_width, hints.min_height);
    XCloseDisplay(display);
    return size;
}

class MainWindowTrayX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "needs an X server (DISPLAY)";
        ASSERT_TRUE(tray.isRunning()) << "trayer did not start";
        ASSERT_TRUE(harness.notificationsStarted);
        harness.store.defaults().setBool("hasShownFirstLaunchExplanation", true);
    }

    // A click on the tray icon, then on the entry (inside the submenu, when one is named).
    bool choose(AppDelegate& delegate, const QString& title, const QString& submenu = {}) {
        const QPoint icon = delegate.statusItem()->geometry().center();
        mouse.click(icon.x(), icon.y());
        QMenu* menu = delegate.statusMenu();
        if (!waitUntil([&] { return menu->isVisible(); })) return false;
        if (!submenu.isEmpty()) {
            QAction* parent = entry(menu, submenu);
            if (!parent) return false;
            const QPoint at = menu->mapToGlobal(menu->actionGeometry(parent).center());
            mouse.click(at.x(), at.y());
            QMenu* sub = parent->menu();
            if (!waitUntil([&] { return sub->isVisible(); })) return false;
            menu = sub;
        }
        QAction* action = entry(menu, title);
        if (!action) return false;
        const QPoint at = menu->mapToGlobal(menu->actionGeometry(action).center());
        mouse.click(at.x(), at.y());
        return waitUntil([&] { return !delegate.statusMenu()->isVisible(); });
    }

    bool docked(AppDelegate& delegate) {
        return waitUntil([&] { return !delegate.statusItem()->geometry().isEmpty(); });
    }

    StandaloneTray tray;
    AppHarness harness;
    XTestMouse mouse;
};

TEST_F(MainWindowTrayX11Test, TrayEntriesOpenOneWindowOnTheirPage) {
    {
        // A transcription, so that the recent list offers the whole history.
        parloquin::HistoryManager history(harness.store.defaults());
        parloquin::TranscriptionRecord record;
        record.text = "Ein Eintrag";
        record.timestamp = harness.clock->now();
        history.setRecords({record});
        ASSERT_TRUE(history.saveHistory());
    }
    AppDelegate& delegate = harness.launch();
    ASSERT_TRUE(docked(delegate));

    ASSERT_TRUE(choose(delegate, "Statistiken..."));
    MainWindowView* window = delegate.mainWindow();
    ASSERT_TRUE(window);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->selectedSection(), SidebarSection::statistics);

    // While it is open, another entry only switches the page.
    ASSERT_TRUE(choose(delegate, "Gesamten Verlauf anzeigen...", "Letzte Transkriptionen"));
    EXPECT_EQ(window->selectedSection(), SidebarSection::history);
    ASSERT_TRUE(choose(delegate, "Einstellungen..."));
    EXPECT_EQ(window->selectedSection(), SidebarSection::general);
    EXPECT_EQ(mainWindows(), std::vector<MainWindowView*>{window});

    // Closed, it is only hidden; opened again, it is where the user left it, as large as it was.
    window->move(60, 50);
    window->resize(1020, 680);
    ASSERT_TRUE(waitUntil([&] { return window->geometry().size() == QSize(1020, 680); }));
    const QRect placed = window->geometry();
    window->close();
    ASSERT_TRUE(waitUntil([&] { return !window->isVisible(); }));
    ASSERT_TRUE(choose(delegate, "Statistiken..."));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->geometry(), placed);
    EXPECT_EQ(window->selectedSection(), SidebarSection::statistics);
    EXPECT_EQ(mainWindows(), std::vector<MainWindowView*>{window});

    // The window manager is told the smallest size, and the window keeps to it.
    EXPECT_EQ(minimumSizeHint(*window), QSize(800, 500));
    window->resize(400, 300);
    QApplication::processEvents();
    EXPECT_GE(window->width(), 800);
    EXPECT_GE(window->height(), 500);
}

// The menu's entry chosen the moment the icon appears: the stores do not exist yet, so nothing
// opens at once, and the window comes as soon as they do.
TEST_F(MainWindowTrayX11Test, ARequestInTheFirstHalfSecondOpensTheWindowOnceTheStoresExist) {
    harness.delegate = std::make_unique<AppDelegate>(harness.environment());
    harness.delegate->applicationDidFinishLaunching();
    QAction* settings = entry(harness.delegate->statusMenu(), "Einstellungen...");
    ASSERT_TRUE(settings);
    settings->trigger();
    EXPECT_EQ(harness.delegate->mainWindow(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return harness.delegate->mainWindow() != nullptr; }));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(harness.delegate->mainWindow()));
    EXPECT_EQ(harness.delegate->mainWindow()->selectedSection(), SidebarSection::general);
    EXPECT_EQ(mainWindows().size(), 1u);
    waitUntil([&] { return !harness.notifications.received.empty(); });
}

}  // namespace
