#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <string_view>

#include "Platform/log/LogEntry.h"
#include "Platform/log/OSLogType.h"

namespace platform {

// A system-log writer for one subsystem and one category, backed by journald.
//
// Which entries are kept is decided once per process by a threshold: entries below it are
// dropped before any text is built. The threshold comes from RARIVOREDU_LOG_LEVEL
// (debug, info, default, error, fault; default: info) and can be changed by tests.
// Callers check isEnabled() before formatting a message in a hot path.
class Logger {
public:
    Logger(std::string subsystem, std::string category);

    const std::string& subsystem() const noexcept { return subsystem_; }
    const std::string& category() const noexcept { return category_; }

    static bool isEnabled(OSLogType type) noexcept {
        return static_cast<int>(type) >= threshold_.load(std::memory_order_relaxed);
    }
    void log(OSLogType type, std::string_view message) const;

    static OSLogType threshold() noexcept { return static_cast<OSLogType>(threshold_.load()); }
    static void setThreshold(OSLogType type) noexcept { threshold_.store(static_cast<int>(type)); }

    // Replaces the process's sink; nullptr restores the journal. Returns the previous sink.
    static std::shared_ptr<LogSink> setSink(std::shared_ptr<LogSink> sink);

private:
    static std::atomic<int> threshold_;

    std::string subsystem_;
    std::string category_;
};

}  // namespace platform
