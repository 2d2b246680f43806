#include "Platform/log/Logger.h"

#include <cstdlib>
#include <mutex>
#include <string_view>

#include "Platform/log/JournalLogSink.h"
#include "Platform/log/RecentLogEntries.h"

namespace platform {
namespace {

int thresholdFromEnvironment() {
    const char* value = std::getenv("RARIVOREDU_LOG_LEVEL");
    if (value == nullptr) return static_cast<int>(OSLogType::info);
    const std::string_view text(value);
    for (int t = 0; t <= static_cast<int>(OSLogType::fault); ++t) {
        if (text == name(static_cast<OSLogType>(t))) return t;
    }
    if (text == "notice") return static_cast<int>(OSLogType::defaultType);
    if (text == "warning") return static_cast<int>(OSLogType::error);
    return static_cast<int>(OSLogType::info);
}

std::mutex& sinkMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<LogSink>& currentSink() {
    static std::shared_ptr<LogSink> sink = std::make_shared<JournalLogSink>();
    return sink;
}

}  // namespace

std::atomic<int> Logger::threshold_{thresholdFromEnvironment()};

Logger::Logger(std::string subsystem, std::string category)
    : subsystem_(std::move(subsystem)), category_(std::move(category)) {}

void Logger::log(OSLogType type, std::string_view message) const {
    if (!isEnabled(type)) return;
    std::shared_ptr<LogSink> sink;
    {
        std::lock_guard lock(sinkMutex());
        sink = currentSink();
    }
    const LogEntry entry{type, subsystem_, category_, std::string(message)};
    RecentLogEntries::shared().add(entry);  // for a diagnostics report, wherever the sink writes
    if (sink) sink->write(entry);
}

std::shared_ptr<LogSink> Logger::setSink(std::shared_ptr<LogSink> sink) {
    if (!sink) sink = std::make_shared<JournalLogSink>();
    std::lock_guard lock(sinkMutex());
    std::swap(currentSink(), sink);
    return sink;
}

}  // namespace platform
