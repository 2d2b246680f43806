#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace rarivoredu {

// A queue from producers to one consumer, with unbounded buffering. The consumer holds the
// stream and takes the elements in order with next(), which blocks until an element or the end
// arrives; the producer side holds the Continuation.
//
// The stream ends when the continuation is finished or destroyed: the consumer then gets what
// is still buffered, then no more. When the consumer drops the stream, the continuation sees it
// as terminated and discards whatever it is handed afterwards.
//
// Both handles are move-only. A continuation may be used from several threads at once; the
// stream belongs to one consuming thread.
template <class Element>
class AsyncStream {
    struct State {
        std::mutex mutex;
        std::condition_variable arrived;
        std::deque<Element> buffer;
        bool finished = false;
        bool consumerGone = false;
    };

public:
    class Continuation {
    public:
        Continuation(Continuation&&) noexcept = default;
        Continuation& operator=(Continuation&& other) noexcept {
            if (this != &other) {
                finish();
                state_ = std::move(other.state_);
            }
            return *this;
        }
        ~Continuation() { finish(); }

        // Queues an element for the consumer. False (and the element dropped) once the stream
        // was finished or its consumer is gone.
        bool yield(Element element) const {
            if (!state_) return false;
            {
                std::lock_guard lock(state_->mutex);
                if (state_->finished || state_->consumerGone) return false;
                state_->buffer.push_back(std::move(element));
            }
            state_->arrived.notify_one();
            return true;
        }

        // Ends the stream after the elements already queued. Later calls do nothing.
        void finish() const {
            if (!state_) return;
            {
                std::lock_guard lock(state_->mutex);
                state_->finished = true;
            }
            state_->arrived.notify_all();
        }

        // True once the stream was finished or its consumer dropped it.
        bool isTerminated() const {
            if (!state_) return true;
            std::lock_guard lock(state_->mutex);
            return state_->finished || state_->consumerGone;
        }

    private:
        friend class AsyncStream;
        explicit Continuation(std::shared_ptr<State> state) : state_(std::move(state)) {}
        std::shared_ptr<State> state_;
    };

    // A new stream and its continuation.
    static std::pair<AsyncStream, Continuation> makeStream() {
        auto state = std::make_shared<State>();
        return {AsyncStream(state), Continuation(state)};
    }

    AsyncStream(AsyncStream&&) noexcept = default;
    AsyncStream& operator=(AsyncStream&& other) noexcept {
        if (this != &other) {
            release();
            state_ = std::move(other.state_);
        }
        return *this;
    }
    ~AsyncStream() { release(); }

    // The next element; blocks until there is one. Nothing once the stream has ended and its
    // buffer is empty.
    std::optional<Element> next() {
        if (!state_) return std::nullopt;
        std::unique_lock lock(state_->mutex);
        state_->arrived.wait(lock, [&] { return !state_->buffer.empty() || state_->finished; });
        return takeFront();
    }

    // The next element when one is queued, without waiting.
    std::optional<Element> tryNext() {
        if (!state_) return std::nullopt;
        std::lock_guard lock(state_->mutex);
        return takeFront();
    }

private:
    explicit AsyncStream(std::shared_ptr<State> state) : state_(std::move(state)) {}

    std::optional<Element> takeFront() {
        if (state_->buffer.empty()) return std::nullopt;
        std::optional<Element> element(std::move(state_->buffer.front()));
        state_->buffer.pop_front();
        return element;
    }

    void release() noexcept {
        if (!state_) return;
        std::lock_guard lock(state_->mutex);
        state_->consumerGone = true;
        state_->buffer.clear();
    }

    std::shared_ptr<State> state_;
};

}  // namespace rarivoredu
