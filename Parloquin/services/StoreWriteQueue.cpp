#include "Parloquin/services/StoreWriteQueue.h"

#include <chrono>

namespace parloquin {

std::shared_ptr<StoreWriteQueue> StoreWriteQueue::shared() {
    static const std::shared_ptr<StoreWriteQueue> queue = std::make_shared<StoreWriteQueue>();
    return queue;
}

StoreWriteQueue::~StoreWriteQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

std::uint64_t StoreWriteQueue::enqueue(platform::UserDefaults& defaults, const std::string& key, platform::Data bytes,
                                       const platform::Logger& logger) {
    std::uint64_t number = 0;
    {
        std::lock_guard lock(mutex_);
        number = nextNumber_++;
        pending_.insert_or_assign(Slot{&defaults, key}, Pending{std::move(bytes), number, logger});
        if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    }
    changed_.notify_all();
    return number;
}

bool StoreWriteQueue::waitFor(platform::UserDefaults& defaults, const std::string& key, std::uint64_t number) {
    const Slot slot{&defaults, key};
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] {
        const auto it = written_.find(slot);
        return it != written_.end() && it->second.number >= number;
    });
    return written_[slot].saved;
}

void StoreWriteQueue::flush(platform::UserDefaults& defaults, const std::string& key) {
    const Slot slot{&defaults, key};
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return pending_.count(slot) == 0 && writing_ != slot; });
}

void StoreWriteQueue::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
        if (pending_.empty()) return;  // stopping, and everything is written
        auto node = pending_.extract(pending_.begin());
        writing_ = node.key();
        lock.unlock();
        const bool saved = write(*node.key().first, node.key().second, node.mapped().bytes, node.mapped().logger);
        lock.lock();
        written_[node.key()] = Outcome{node.mapped().number, saved};
        writing_.reset();
        changed_.notify_all();
    }
}

bool StoreWriteQueue::write(platform::UserDefaults& defaults, const std::string& key, const platform::Data& bytes,
                            const platform::Logger& logger) {
    for (int attempt = 1; attempt <= maximumAttempts; ++attempt) {
        // The store keeps a value it could not write, unsaved; only one in the file is saved.
        const bool written = defaults.setData(key, bytes);
        if (written && defaults.dataForKey(key) == bytes) return true;
        if (attempt < maximumAttempts) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    logger.log(platform::OSLogType::error,
               "Could not save \"" + key + "\" after " + std::to_string(maximumAttempts) +
                   " attempts; it is kept in memory and written with the next change or at quit");
    return false;
}

}  // namespace parloquin
