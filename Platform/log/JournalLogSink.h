#pragma once

#include "Platform/log/LogEntry.h"

namespace platform {

// Writes entries to the systemd journal with the fields SUBSYSTEM and CATEGORY beside MESSAGE.
// Without a journal (a container, a CI machine) sd_journal_send fails and the entry is dropped:
// logging never fails its caller.
class JournalLogSink : public LogSink {
public:
    void write(const LogEntry& entry) override;
};

}  // namespace platform
