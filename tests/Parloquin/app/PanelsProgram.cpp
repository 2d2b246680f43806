// The recording overlay and the floating button, shown as Parloquin shows them while it records,
// for the Wayland tests: on Qt's Wayland platform they must never take the keyboard focus. It
// reports "shown layer" (presented as layer panels of the compositor) or "shown window" once both
// are up, and ends when its standard input closes.
#include <QApplication>
#include <QSocketNotifier>
#include <cmath>
#include <cstdio>
#include <unistd.h>

#include "Parloquin/app/FloatingDictationControlWindow.h"
#include "Parloquin/app/QtRecordingOverlayWindow.h"
#include "Parloquin/app/WaylandPanelPresenter.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    parloquin::QtRecordingOverlayWindow overlay([] { return 0.6f; });
    parloquin::FloatingDictationControlWindow button([] {});
    overlay.show();
    button.orderFront();
    std::printf("shown %s\n", parloquin::WaylandPanelPresenter::isAvailable() ? "layer" : "window");
    std::fflush(stdout);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) application.quit();
    });
    return application.exec();
}
