#include "Parloquin/views/DiagnosticsReport.h"

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

}  // namespace parloquin
