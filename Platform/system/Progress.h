#pragma once

#include <cstdint>

#include "Platform/system/ThreadScopedHandler.h"

namespace platform {

// How far a long piece of work has come, told to whoever waits for it. Like a CancellationToken,
// the handler reaches the work through the thread it runs on: a Progress::Scope makes it the
// current one of its thread, and the work calls report() where it finishes a unit (a window of
// audio, say). Without a Scope a report goes nowhere.
class Progress {
    using Current = ThreadScopedHandler<Progress, std::int64_t, std::int64_t>;

public:
    // completedUnitCount, totalUnitCount
    using Handler = Current::Handler;
    using Scope = Current::Scope;

    // Tells the current handler of this thread, if there is one. Allocates nothing.
    static void report(std::int64_t completedUnitCount, std::int64_t totalUnitCount) {
        Current::call(completedUnitCount, totalUnitCount);
    }
};

}  // namespace platform
