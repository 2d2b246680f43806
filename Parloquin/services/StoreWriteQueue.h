#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "Platform/log/Logger.h"
#include "Platform/system/Data.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

// Writes the stores' values into the user defaults on a thread of its own, so that neither a
// slow disk nor a failing write holds up the thread that changed them. A value queued for a key
// replaces one still waiting for the same key: only the newest is written. Each write is
// confirmed by the store's having written its file and by reading the key back, with up to three
// attempts 0.1 s apart; giving up is logged (the store keeps the value unsaved in memory).
// All functions may be called from any thread. The destructor writes what is still queued.
class StoreWriteQueue {
public:
    static constexpr int maximumAttempts = 3;

    // The queue the stores of the process share, made on first use.
    static std::shared_ptr<StoreWriteQueue> shared();

    StoreWriteQueue() = default;
    ~StoreWriteQueue();
    StoreWriteQueue(const StoreWriteQueue&) = delete;
    StoreWriteQueue& operator=(const StoreWriteQueue&) = delete;

    // Queues the bytes for the key and returns at once with the write's number. Failures are
    // logged under `logger`'s category.
    std::uint64_t enqueue(platform::UserDefaults& defaults, const std::string& key, platform::Data bytes,
                          const platform::Logger& logger);
    // Waits until write `number` of the key, or a newer one that replaced it, has been made;
    // true when the stored value then read back as written.
    bool waitFor(platform::UserDefaults& defaults, const std::string& key, std::uint64_t number);
    // Waits until nothing is queued or being written for the key.
    void flush(platform::UserDefaults& defaults, const std::string& key);

private:
    using Slot = std::pair<platform::UserDefaults*, std::string>;
    struct Pending {
        platform::Data bytes;
        std::uint64_t number = 0;
        platform::Logger logger;
    };
    struct Outcome {
        std::uint64_t number = 0;
        bool saved = false;
    };

    void run();
    static bool write(platform::UserDefaults& defaults, const std::string& key, const platform::Data& bytes,
                      const platform::Logger& logger);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<Slot, Pending> pending_;
    std::map<Slot, Outcome> written_;
    std::optional<Slot> writing_;
    std::uint64_t nextNumber_ = 1;
    bool stopping_ = false;
    std::thread thread_;  // started with the first write
};

}  // namespace parloquin
