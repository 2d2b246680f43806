#include "RarivOredu/shared/SerialQueue.h"

#include <pthread.h>

namespace rarivoredu {

SerialQueue::SerialQueue(std::string label) : label_(std::move(label)) {
    worker_ = std::thread([this] { run(); });
}

SerialQueue::~SerialQueue() {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (worker_.joinable()) worker_.join();
}

void SerialQueue::post(std::function<void()> block) {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        blocks_.push_back(std::move(block));
    }
    wake_.notify_one();
}

void SerialQueue::run() {
    // Thread names are at most 15 bytes; the end of a reverse-DNS label is the telling part.
    const std::string name = label_.size() > 15 ? label_.substr(label_.size() - 15) : label_;
    pthread_setname_np(pthread_self(), name.c_str());
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        wake_.wait(guard, [this] { return stopping_ || !blocks_.empty(); });
        if (blocks_.empty()) return;
        std::function<void()> block = std::move(blocks_.front());
        blocks_.pop_front();
        guard.unlock();
        block();
        guard.lock();
    }
}

}  // namespace rarivoredu
