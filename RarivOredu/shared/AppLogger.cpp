#include "RarivOredu/shared/AppLogger.h"

#include <mutex>

namespace rarivoredu {
namespace {

std::mutex& subsystemMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string& subsystemValue() {
    static std::string value = "com.rarivoredu";
    return value;
}

}  // namespace

std::optional<AppLogger::Level> AppLogger::levelFromRawValue(int rawValue) noexcept {
    if (rawValue < 0 || rawValue > 5) return std::nullopt;
    return static_cast<Level>(rawValue);
}

std::string AppLogger::defaultSubsystem() {
    std::lock_guard lock(subsystemMutex());
    return subsystemValue();
}

void AppLogger::setDefaultSubsystem(std::string subsystem) {
    std::lock_guard lock(subsystemMutex());
    subsystemValue() = std::move(subsystem);
}

AppLogger::AppLogger(std::string subsystem, std::string category)
    : osLogger_(std::move(subsystem), std::move(category)) {}

AppLogger::AppLogger(std::string category) : AppLogger(defaultSubsystem(), std::move(category)) {}

platform::OSLogType AppLogger::osLogType(Level level) noexcept {
    switch (level) {
        case Level::debug: return platform::OSLogType::debug;
        case Level::info: return platform::OSLogType::info;
        case Level::notice: return platform::OSLogType::defaultType;
        case Level::warning:
        case Level::error: return platform::OSLogType::error;
        case Level::fault: return platform::OSLogType::fault;
    }
    return platform::OSLogType::defaultType;
}

void AppLogger::log(Level level, std::string_view message) const {
    osLogger_.log(osLogType(level), message);
}

}  // namespace rarivoredu
