#include "Platform/log/JournalLogSink.h"

#include <systemd/sd-journal.h>
#include <unistd.h>

#include "Platform/log/StandardErrorLogSink.h"

namespace platform {

JournalLogSink::JournalLogSink() : fallback_(std::make_shared<StandardErrorLogSink>()) {}

namespace {

// sd_journal_send reports success when the journal's socket does not exist at all, so its absence
// is checked first; any other failure (a socket nobody listens on) it does report.
bool journalSocketExists() { return ::access("/run/systemd/journal/socket", W_OK) == 0; }

}  // namespace

void JournalLogSink::write(const LogEntry& entry) {
    if (!journalSocketExists()) {
        if (fallback_) fallback_->write(entry);
        return;
    }
    const int result = sd_journal_send("MESSAGE=%s", entry.message.c_str(),
                                       "PRIORITY=%d", journalPriority(entry.type),
                                       "SUBSYSTEM=%s", entry.subsystem.c_str(),
                                       "CATEGORY=%s", entry.category.c_str(),
                                       "SYSLOG_IDENTIFIER=%s", entry.subsystem.c_str(),
                                       nullptr);
    if (result < 0 && fallback_) fallback_->write(entry);
}

}  // namespace platform
