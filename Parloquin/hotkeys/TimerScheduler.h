#pragma once

#include <chrono>
#include <functional>
#include <memory>

class QObject;

namespace parloquin {

// A repeating timer. It stops when invalidated or destroyed.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void invalidate() = 0;
};

// Timers on the main loop. Blocks run only while their context object lives, so a block that uses its
// owner does nothing once the owner is gone.
class TimerScheduler {
public:
    virtual ~TimerScheduler() = default;
    virtual std::unique_ptr<Timer> scheduledTimer(std::chrono::milliseconds interval, QObject* context,
                                                  std::function<void()> block) = 0;
    virtual void schedule(std::chrono::milliseconds delay, QObject* context, std::function<void()> block) = 0;
};

}  // namespace parloquin
