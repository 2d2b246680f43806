#pragma once

#include <string>

#include "Parloquin/views/AppVersion.h"
#include "Platform/system/Date.h"
#include "Platform/system/HostDescription.h"

namespace parloquin {

// The short plain-text report about the program and the machine that the page "Sonstiges" saves
// for a bug report. It holds no log files and no transcripts.
struct DiagnosticsReport {
    static constexpr const char* proposedFileName = "parloquin-diagnostics.log";

    // The report, lines ended by a line feed, ending with an empty line.
    static std::string text(const AppVersion& version, const platform::HostDescription& host, platform::Date created);

    // "16 GB": whole gibibytes, rounded down.
    static std::string memoryText(std::uint64_t bytes);
    // The machine's name, or "Unbekannt".
    static std::string deviceName(const platform::HostDescription& host);
};

}  // namespace parloquin
