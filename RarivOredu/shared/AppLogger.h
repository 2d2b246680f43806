#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Platform/log/Logger.h"

namespace rarivoredu {

// The library's logger: one subsystem and one category per component, written to the system log.
// The message is written as it is: no prefix, level tag or time stamp.
// Formatting a message costs; in hot paths check isEnabled() first.
class AppLogger {
public:
    enum class Level : int { debug = 0, info = 1, notice = 2, warning = 3, error = 4, fault = 5 };
    // A level from its raw value 0 to 5; nothing for any other value.
    static std::optional<Level> levelFromRawValue(int rawValue) noexcept;

    // The subsystem of loggers created with a category alone. Nothing changes it after start.
    static std::string defaultSubsystem();
    static void setDefaultSubsystem(std::string subsystem);

    AppLogger(std::string subsystem, std::string category);
    explicit AppLogger(std::string category);

    const std::string& subsystem() const noexcept { return osLogger_.subsystem(); }
    const std::string& category() const noexcept { return osLogger_.category(); }

    static platform::OSLogType osLogType(Level level) noexcept;
    static bool isEnabled(Level level) noexcept { return platform::Logger::isEnabled(osLogType(level)); }

    void log(Level level, std::string_view message) const;
    void debug(std::string_view message) const { log(Level::debug, message); }
    void info(std::string_view message) const { log(Level::info, message); }
    void notice(std::string_view message) const { log(Level::notice, message); }
    void warning(std::string_view message) const { log(Level::warning, message); }
    void error(std::string_view message) const { log(Level::error, message); }
    void fault(std::string_view message) const { log(Level::fault, message); }

private:
    platform::Logger osLogger_;
};

}  // namespace rarivoredu
