#pragma once

#include <cstdint>
#include <functional>

namespace platform {

// How far a long piece of work has come, told to whoever waits for it. Like a CancellationToken,
// the handler reaches the work through the thread it runs on: a Progress::Scope makes it the
// current one of its thread, and the work calls report() where it finishes a unit (a window of
// audio, say). Without a Scope a report goes nowhere.
class Progress {
public:
    using Handler = std::function<void(std::int64_t completedUnitCount, std::int64_t totalUnitCount)>;
    class Scope;

    // Tells the current handler of this thread, if there is one. Allocates nothing.
    static void report(std::int64_t completedUnitCount, std::int64_t totalUnitCount);
};

// Makes a handler the current one of this thread until it goes; Scopes nest.
class Progress::Scope {
public:
    explicit Scope(Handler handler);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    Handler handler_;
    const Handler* previous_;
};

}  // namespace platform
