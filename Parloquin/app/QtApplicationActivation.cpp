#include "Parloquin/app/QtApplicationActivation.h"

#include <QApplication>
#include <QWidget>

namespace parloquin {
namespace {

bool isTitledWindow(const QWidget* widget) {
    const Qt::WindowType type = widget->windowType();
    return (type == Qt::Window || type == Qt::Dialog) && widget->isVisible() && !widget->windowTitle().isEmpty();
}

}  // namespace

void QtApplicationActivation::activateIgnoringOtherApps() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!isTitledWindow(widget)) continue;
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
