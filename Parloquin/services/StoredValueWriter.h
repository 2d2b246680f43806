#pragma once

#include <memory>
#include <string>

#include "Parloquin/services/StoreWriteQueue.h"
#include "Platform/log/Logger.h"
#include "Platform/system/Data.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

// How a store writes its one value to the user defaults: through a StoreWriteQueue (by default
// the one the process shares), which writes it on its own thread, confirms it by reading the key
// back and coalesces values that come faster than it writes. The destructor waits until the
// store's last value is written.
class StoredValueWriter {
public:
    StoredValueWriter(platform::UserDefaults& defaults, std::string key, std::string category,
                      std::shared_ptr<StoreWriteQueue> queue = StoreWriteQueue::shared());
    ~StoredValueWriter();
    StoredValueWriter(const StoredValueWriter&) = delete;
    StoredValueWriter& operator=(const StoredValueWriter&) = delete;

    // Queues the bytes and returns at once.
    void save(platform::Data bytes) const;
    // Queues the bytes and waits for the write: true when the stored value reads back as written.
    bool saveAndWait(platform::Data bytes) const;
    // Waits until what was queued has been written.
    void flush() const;

    platform::UserDefaults& defaults() const { return defaults_; }
    const std::string& key() const { return key_; }
    const platform::Logger& logger() const { return logger_; }

private:
    platform::UserDefaults& defaults_;
    std::string key_;
    platform::Logger logger_;
    std::shared_ptr<StoreWriteQueue> queue_;
};

}  // namespace parloquin
