#pragma once

#include "Parloquin/hotkeys/TimerScheduler.h"

namespace parloquin {

// Timers of the Qt main loop.
class QtTimerScheduler : public TimerScheduler {
public:
    std::unique_ptr<Timer> scheduledTimer(std::chrono::milliseconds interval, QObject* context,
                                          std::function<void()> block) override;
    void schedule(std::chrono::milliseconds delay, QObject* context, std::function<void()> block) override;
};

}  // namespace parloquin
