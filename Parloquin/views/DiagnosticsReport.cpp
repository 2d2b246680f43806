#include "Parloquin/views/DiagnosticsReport.h"

#include "Platform/log/JournalLogReader.h"
#include "Platform/log/RecentLogEntries.h"

namespace parloquin {

std::string DiagnosticsReport::memoryText(std::uint64_t bytes) { return std::to_string(bytes >> 30) + " GB"; }

std::string DiagnosticsReport::deviceName(const platform::HostDescription& host) {
    return host.localizedName.value_or("Unbekannt");
}

std::string DiagnosticsReport::text(const AppVersion& version, const platform::HostDescription& host,
                                    platform::Date created) {
    std::string report;
    report += "Parloquin Diagnosebericht\n";
    report += "Erstellt: " + created.description() + "\n";
    report += std::string(50, '=') + "\n\n";
    report += "APP-INFO\n";
    report += "Version: " + version.text() + "\n";
    report += "Linux: " + host.operatingSystemVersion + "\n";
    report += "Chip: " + host.processorName + "\n";
    report += "Modell: Parloquin Sprachmodell v3\n\n";
    report += "SYSTEM-INFO\n";
    report += "Gerät: " + deviceName(host) + "\n";
    report += "Arbeitsspeicher: " + memoryText(host.physicalMemory) + "\n";
    report += "Prozessoren: " + std::to_string(host.processorCount) + "\n\n";
    return report;
}

std::string DiagnosticsReport::text(const AppVersion& version, const platform::HostDescription& host,
                                    platform::Date created, const std::vector<std::string>& logLines) {
    std::string report = text(version, host, created);
    report += "PROTOKOLL (" + std::to_string(logLines.size()) + " neueste Einträge von Parloquin und RarivOredu)\n";
    if (logLines.empty()) report += "Keine Einträge.\n";
    for (const std::string& line : logLines) report += line + "\n";
    return report;
}

std::vector<std::string> DiagnosticsReport::recentLogLines() {
    constexpr std::size_t count = platform::RecentLogEntries::capacity;
    auto journal = platform::JournalLogReader::recentLines({"com.parloquin", "com.rarivoredu"}, count);
    if (journal && !journal->empty()) return std::move(*journal);
    return platform::RecentLogEntries::shared().lines();
}

}  // namespace parloquin
