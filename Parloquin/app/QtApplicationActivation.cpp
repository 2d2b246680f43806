#include "Parloquin/app/QtApplicationActivation.h"

#include <QApplication>
#include <QWidget>

#include "Platform/desktop/TaskbarListing.h"

namespace parloquin {
namespace {

bool isTitledWindow(const QWidget* widget) {
    const Qt::WindowType type = widget->windowType();
    return (type == Qt::Window || type == Qt::Dialog) && widget->isVisible() && !widget->windowTitle().isEmpty();
}

}  // namespace

void QtApplicationActivation::setActivationPolicy(ActivationPolicy policy) {
    policy_ = policy;
    platform::TaskbarListing::shared().setListed(policy == ActivationPolicy::regular);
}

void QtApplicationActivation::activateIgnoringOtherApps() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        // A minimised window stays in the task bar: activating the application does not open it.
        if (!isTitledWindow(widget) || widget->isMinimized()) continue;
        widget->raise();
        widget->activateWindow();
    }
}

bool QtApplicationActivation::hasVisibleTitledWindow() const {
    for (const QWidget* widget : QApplication::topLevelWidgets())
        if (isTitledWindow(widget)) return true;
    return false;
}

}  // namespace parloquin
