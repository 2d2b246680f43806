#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Platform/system/HostFacts.h"

namespace rarivoredu {

// A one-line description of the host, for the log.
class SystemInfo {
public:
    SystemInfo() = delete;

    // "Linux 6.1 (Debian GNU/Linux 12), arch=x86_64, chip=…, cores=8/8, mem=24 GB, rosetta=false"
    static std::string summary();
    static std::string summary(const platform::HostFacts& host);
    static std::optional<std::string> sysctlString(const std::string& name);
    static std::optional<std::uint64_t> residentMemoryBytes();
};

}  // namespace rarivoredu
