#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "Platform/system/HostDescription.h"

namespace platform {

// Facts about the running machine, read from the Linux kernel's files and from sysconf/uname.
// Kernel variable names in the dotted style ("kernel.ostype") map to /proc/sys; a few well-known
// names of other systems map to their Linux counterparts. The file-system root can be moved so
// that tests read a prepared tree.
class HostFacts {
public:
    explicit HostFacts(std::string root = "/");

    // The string value of a kernel variable, or nothing when it cannot be read.
    // "machdep.cpu.brand_string" is the processor's model name, "hw.model" the machine's product name.
    std::optional<std::string> sysctlString(const std::string& name) const;
    // A kernel variable read as a 32-bit integer, or nothing.
    std::optional<std::int32_t> sysctlInt32(const std::string& name) const;

    std::string operatingSystemName() const;           // "Linux"
    std::string operatingSystemVersionString() const;  // "6.1 (Debian GNU/Linux 12)"
    std::string architecture() const;                  // "x86_64"
    long activeProcessorCount() const;
    long processorCount() const;
    std::uint64_t physicalMemory() const;
    std::optional<std::uint64_t> residentMemoryBytes() const;

    // The name a person gave the machine: the pretty host name of /etc/machine-info, else the
    // host name. Nothing when neither is set.
    std::optional<std::string> localizedName() const;
    // The distribution's name and the kernel's release and build:
    // "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-28-amd64 #1 SMP PREEMPT_DYNAMIC Debian 6.1.119-1".
    std::string operatingSystemFullVersionString() const;
    // The processor's model name (/proc/cpuinfo), else the machine's architecture.
    std::string processorName() const;
    // Seconds since the system started (/proc/uptime); 0 when unknown.
    double systemUptime() const;
    // All of the above, read now.
    HostDescription describe() const;

private:
    std::optional<std::string> readFile(const std::string& relativePath) const;
    // A field of uname(2) for the running system; the matching kernel variable under a moved root.
    std::string kernelField(const char* variable) const;
    // The fields of os-release(5), unquoted.
    std::map<std::string, std::string> osRelease() const;

    std::string root_;
};

// Byte counts the way a desktop shows them: "512 bytes", "12 KB", "3.4 MB", "16 GB".
// Binary style counts in units of 1024.
std::string formatByteCount(std::uint64_t bytes, bool binary = true);

}  // namespace platform
