#include "RarivOredu/shared/SystemInfo.h"

namespace rarivoredu {

std::string SystemInfo::summary() { return summary(platform::HostFacts()); }

std::string SystemInfo::summary(const platform::HostFacts& host) {
    std::string line = host.operatingSystemName() + " " + host.operatingSystemVersionString();
    line += ", arch=" + host.architecture();
    auto chip = host.sysctlString("machdep.cpu.brand_string");
    if (!chip) chip = host.sysctlString("hw.model");
    line += ", chip=" + chip.value_or("UnknownChip");
    line += ", cores=" + std::to_string(host.activeProcessorCount()) + "/" + std::to_string(host.processorCount());
    line += ", mem=" + platform::formatByteCount(host.physicalMemory(), true);
    const auto translated = host.sysctlInt32("sysctl.proc_translated");
    line += std::string(", rosetta=") + (translated && *translated == 1 ? "true" : "false");
    return line;
}

std::optional<std::string> SystemInfo::sysctlString(const std::string& name) {
    return platform::HostFacts().sysctlString(name);
}

std::optional<std::uint64_t> SystemInfo::residentMemoryBytes() { return platform::HostFacts().residentMemoryBytes(); }

}  // namespace rarivoredu
