#pragma once

#include <atomic>
#include <memory>

namespace platform {

// A request to stop a piece of work early, shared by whoever may ask for it and the work that
// obeys it; copies share one state, and a cancelled token stays cancelled.
//
// Work learns of its token through the thread it runs on: a Scope makes a token the current one
// of its thread for the Scope's lifetime, and long operations (transfers, recognition) check
// the current token where they can stop cleanly. Without a Scope the current token is one that
// is never cancelled.
class CancellationToken {
public:
    class Scope;

    CancellationToken();

    void cancel() const noexcept { cancelled_->store(true, std::memory_order_release); }
    bool isCancelled() const noexcept { return cancelled_->load(std::memory_order_acquire); }

    // Whether the current token of this thread has been cancelled. Allocates nothing.
    static bool currentIsCancelled() noexcept;
    // Throws NSError (CocoaError userCancelled) when the current token has been cancelled.
    static void checkCancellation();

private:
    std::shared_ptr<std::atomic<bool>> cancelled_;
};

// Makes a token the current one of this thread until it goes; Scopes nest.
class CancellationToken::Scope {
public:
    explicit Scope(CancellationToken token) noexcept;
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    CancellationToken token_;
    const std::atomic<bool>* previous_;
};

}  // namespace platform
