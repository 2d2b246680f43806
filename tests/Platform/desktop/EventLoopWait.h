#pragma once

#include <chrono>
#include <functional>

namespace parloquin_test {

// Runs the Qt event loop until the condition holds; false if it still does not after the limit.
// The limit only bounds a failing test; nothing depends on how long the wait takes.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::milliseconds(5000));

// Runs whatever the event loop has queued right now.
void drainEventLoop();

}  // namespace parloquin_test
