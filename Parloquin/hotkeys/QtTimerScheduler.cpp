#include "Parloquin/hotkeys/QtTimerScheduler.h"

#include <QPointer>
#include <QTimer>

namespace parloquin {
namespace {

class QtRepeatingTimer : public Timer {
public:
    QtRepeatingTimer(std::chrono::milliseconds interval, QObject* context, std::function<void()> block)
        : timer_(new QTimer) {
        timer_->setInterval(interval);
        QObject::connect(timer_, &QTimer::timeout, context, std::move(block));
        timer_->start();
    }
    // The block may end its own timer: the QTimer goes once control is back in the loop.
    ~QtRepeatingTimer() override {
        timer_->stop();
        timer_->deleteLater();
    }
    void invalidate() override { timer_->stop(); }

private:
    QTimer* timer_;
};

}  // namespace

std::unique_ptr<Timer> QtTimerScheduler::scheduledTimer(std::chrono::milliseconds interval, QObject* context,
                                                        std::function<void()> block) {
    return std::make_unique<QtRepeatingTimer>(interval, context, std::move(block));
}

void QtTimerScheduler::schedule(std::chrono::milliseconds delay, QObject* context, std::function<void()> block) {
    QTimer::singleShot(delay, context, std::move(block));
}

}  // namespace parloquin
