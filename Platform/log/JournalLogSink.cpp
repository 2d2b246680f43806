#include "Platform/log/JournalLogSink.h"

#include <systemd/sd-journal.h>

namespace platform {

void JournalLogSink::write(const LogEntry& entry) {
    sd_journal_send("MESSAGE=%s", entry.message.c_str(),
                    "PRIORITY=%d", journalPriority(entry.type),
                    "SUBSYSTEM=%s", entry.subsystem.c_str(),
                    "CATEGORY=%s", entry.category.c_str(),
                    "SYSLOG_IDENTIFIER=%s", entry.subsystem.c_str(),
                    nullptr);
}

}  // namespace platform
