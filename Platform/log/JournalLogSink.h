#pragma once

#include <memory>

#include "Platform/log/LogEntry.h"

namespace platform {

// Writes entries to the systemd journal with the fields SUBSYSTEM and CATEGORY beside MESSAGE.
// Where no journal runs (a container, a CI machine, a desktop without systemd) the entry goes to
// the fallback instead, standard error unless told otherwise. Logging never fails its caller.
class JournalLogSink : public LogSink {
public:
    JournalLogSink();
    explicit JournalLogSink(std::shared_ptr<LogSink> fallback) : fallback_(std::move(fallback)) {}

    void write(const LogEntry& entry) override;

private:
    std::shared_ptr<LogSink> fallback_;
};

}  // namespace platform
