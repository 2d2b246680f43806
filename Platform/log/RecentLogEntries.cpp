#include "Platform/log/RecentLogEntries.h"

#include <ctime>

#include "Platform/log/StandardErrorLogSink.h"

namespace platform {

RecentLogEntries& RecentLogEntries::shared() {
    static RecentLogEntries entries;
    return entries;
}

void RecentLogEntries::add(const LogEntry& entry) {
    const auto now = std::chrono::system_clock::now();
    std::lock_guard lock(mutex_);
    if (entries_.size() == capacity) entries_.pop_front();
    entries_.push_back({entry, now});
}

std::vector<std::string> RecentLogEntries::lines() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> result;
    result.reserve(entries_.size());
    for (const Stamped& stamped : entries_) result.push_back(line(stamped.entry, stamped.time));
    return result;
}

void RecentLogEntries::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

std::string RecentLogEntries::line(const LogEntry& entry, std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm parts{};
    ::gmtime_r(&seconds, &parts);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &parts);
    return std::string(stamp) + " " + StandardErrorLogSink::line(entry);
}

}  // namespace platform
