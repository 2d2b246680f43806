#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// What the application tells a person about the machine it runs on, read once (HostFacts::describe)
// so that every page and report shows the same facts.
struct HostDescription {
    std::optional<std::string> localizedName;  // the machine's name, when it has one
    std::string operatingSystemVersion;        // short: "6.1 (Debian GNU/Linux 12)"
    std::string operatingSystemVersionString;  // full: distribution, kernel release and build
    std::string processorName;                 // the processor's model name, else the architecture
    long processorCount = 0;
    std::uint64_t physicalMemory = 0;  // bytes
    double systemUptime = 0;           // seconds since the system started

    bool operator==(const HostDescription&) const = default;
};

}  // namespace platform
