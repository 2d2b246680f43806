#pragma once

#include <string>

#include "Platform/log/OSLogType.h"

namespace platform {

struct LogEntry {
    OSLogType type;
    std::string subsystem;
    std::string category;
    std::string message;
};

// Where entries go. The process has one sink: the journal unless a test installs another.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void write(const LogEntry& entry) = 0;
};

}  // namespace platform
