#include "Platform/desktop/TaskbarListing.h"

#include <QGuiApplication>
#include <QPointer>
#include <QWindow>

#include "Platform/desktop/X11WindowHints.h"

namespace platform {

// The application owns the listing and deletes it with itself; a later call (a new application
// object, or code running after it is gone) gets a new one rather than the deleted one.
TaskbarListing& TaskbarListing::shared() {
    static QPointer<TaskbarListing> listing;
    if (!listing) listing = new TaskbarListing;
    return *listing;
}

TaskbarListing::TaskbarListing() {
    if (QCoreApplication* application = QCoreApplication::instance()) {
        setParent(application);
        application->installEventFilter(this);
    }
}

void TaskbarListing::setListed(bool listed) {
    listed_ = listed;
    for (QWindow* window : QGuiApplication::topLevelWindows())
        if (window->handle() && isListable(window)) apply(window);
}

bool TaskbarListing::isListable(const QWindow* window) {
    return window->type() == Qt::Window;
}

void TaskbarListing::apply(QWindow* window) const {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    X11WindowHints::setListedInTaskbar(window->winId(), listed_);
}

// A window about to be mapped: the window manager reads its state as it maps it (and drops the
// state again when the window is hidden).
bool TaskbarListing::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWindowType()) {
        auto* window = static_cast<QWindow*>(watched);
        if (window->handle() && isListable(window)) apply(window);
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace platform
