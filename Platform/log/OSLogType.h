#pragma once

namespace platform {

// The kinds of entry the system log distinguishes, lowest first.
enum class OSLogType : unsigned char { debug = 0, info = 1, defaultType = 2, error = 3, fault = 4 };

// The journald priority (syslog level) an entry of this type is written with.
int journalPriority(OSLogType type) noexcept;
const char* name(OSLogType type) noexcept;

}  // namespace platform
