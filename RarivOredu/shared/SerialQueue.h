#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>

namespace rarivoredu {

// Runs blocks one after another on a thread of its own, as a serial dispatch queue does.
// sync() hands a block to the thread, waits for it, and returns its result or rethrows its
// exception. A block that calls sync() on its own queue runs the inner block at once, since
// waiting for itself would never end. Destruction runs what is queued, then ends the thread.
class SerialQueue {
public:
    explicit SerialQueue(std::string label);
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const std::string& label() const noexcept { return label_; }
    // Whether the calling thread is this queue's thread.
    bool isCurrent() const noexcept { return std::this_thread::get_id() == worker_.get_id(); }

    template <typename Block>
    std::invoke_result_t<Block&> sync(Block&& block) {
        if (isCurrent()) return block();
        using Result = std::invoke_result_t<Block&>;
        auto task = std::make_shared<std::packaged_task<Result()>>(std::forward<Block>(block));
        std::future<Result> done = task->get_future();
        post([task] { (*task)(); });
        return done.get();
    }

private:
    void post(std::function<void()> block);
    void run();

    std::string label_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> blocks_;
    bool stopping_ = false;
    std::thread worker_;
};

}  // namespace rarivoredu
