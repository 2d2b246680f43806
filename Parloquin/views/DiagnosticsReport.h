#pragma once

#include <string>
#include <vector>

#include "Parloquin/services/AppVersion.h"
#include "Platform/system/Date.h"
#include "Platform/system/HostDescription.h"

namespace parloquin {

// The short plain-text report about the program and the machine that the page "Sonstiges" saves
// for a bug report, with the recent log entries of Parloquin and its speech library. It holds no
// transcripts beyond what those entries say.
struct DiagnosticsReport {
    static constexpr const char* proposedFileName = "parloquin-diagnostics.log";

    // The report, lines ended by a line feed, ending with an empty line.
    static std::string text(const AppVersion& version, const platform::HostDescription& host, platform::Date created);
    // The same, followed by the log lines under "PROTOKOLL".
    static std::string text(const AppVersion& version, const platform::HostDescription& host, platform::Date created,
                            const std::vector<std::string>& logLines);
    // The newest entries of both subsystems: from the journal where it runs, else the ones this
    // process logged (which then went to standard error).
    static std::vector<std::string> recentLogLines();

    // "16 GB": whole gibibytes, rounded down.
    static std::string memoryText(std::uint64_t bytes);
    // The machine's name, or "Unbekannt".
    static std::string deviceName(const platform::HostDescription& host);
};

}  // namespace parloquin
