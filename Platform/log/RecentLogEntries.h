#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "Platform/log/LogEntry.h"

namespace platform {

// The newest entries this process logged, whatever its sink (the journal, standard error), kept in
// memory for a diagnostics report. Logger::log adds every entry it lets through. Any thread.
class RecentLogEntries {
public:
    static constexpr std::size_t capacity = 200;

    static RecentLogEntries& shared();

    void add(const LogEntry& entry);
    // Oldest first, one line each: "2026-12-10 12:00:00 com.parloquin/Category error: message".
    std::vector<std::string> lines() const;
    void clear();

    // The line of an entry logged at `time` (UTC).
    static std::string line(const LogEntry& entry, std::chrono::system_clock::time_point time);

private:
    struct Stamped {
        LogEntry entry;
        std::chrono::system_clock::time_point time;
    };
    mutable std::mutex mutex_;
    std::deque<Stamped> entries_;
};

}  // namespace platform
