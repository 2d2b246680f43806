#include "tests/Platform/desktop/EventLoopWait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace parloquin_test {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    QDeadlineTimer deadline(limit);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::msleep(2);
    }
    return true;
}

void drainEventLoop() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace parloquin_test
