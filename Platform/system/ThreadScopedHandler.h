#pragma once

#include <functional>
#include <utility>

namespace platform {

// A handler that long work reaches through the thread it runs on, as it reaches its
// CancellationToken: a Scope makes a handler the current one of its thread for the Scope's
// lifetime (Scopes nest), and the work calls `call` where it has something to tell. Without a
// Scope a call goes nowhere. `Tag` keeps apart the handlers of different reports. Calling
// allocates nothing.
template <class Tag, class... Args>
class ThreadScopedHandler {
public:
    using Handler = std::function<void(Args...)>;

    class Scope {
    public:
        explicit Scope(Handler handler) : handler_(std::move(handler)), previous_(current_) { current_ = &handler_; }
        ~Scope() { current_ = previous_; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        Handler handler_;
        const Handler* previous_;
    };

    static void call(Args... args) {
        if (current_ != nullptr && *current_) (*current_)(std::forward<Args>(args)...);
    }

private:
    static inline thread_local const Handler* current_ = nullptr;
};

}  // namespace platform
