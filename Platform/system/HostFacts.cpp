#include "Platform/system/HostFacts.h"

#include <charconv>

#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <locale>
#include <map>
#include <sstream>

namespace platform {
namespace {

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::string unquote(std::string s) {
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front()) {
        s = s.substr(1, s.size() - 2);
    }
    return s;
}

}  // namespace

HostFacts::HostFacts(std::string root) : root_(std::move(root)) {
    if (root_.empty() || root_.back() != '/') root_ += '/';
}

std::optional<std::string> HostFacts::readFile(const std::string& relativePath) const {
    std::ifstream in(root_ + relativePath, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream out;
    out << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return out.str();
}

std::optional<std::string> HostFacts::sysctlString(const std::string& name) const {
    if (name == "machdep.cpu.brand_string") {
        const auto cpuinfo = readFile("proc/cpuinfo");
        if (!cpuinfo) return std::nullopt;
        std::istringstream lines(*cpuinfo);
        std::string line;
        while (std::getline(lines, line)) {
            const auto colon = line.find(':');
            if (colon == std::string::npos) continue;
            const std::string key = trim(line.substr(0, colon));
            if (key == "model name" || key == "Model" || key == "cpu model") {
                const std::string value = trim(line.substr(colon + 1));
                if (!value.empty()) return value;
            }
        }
        return std::nullopt;
    }
    if (name == "hw.model") {
        const auto product = readFile("sys/devices/virtual/dmi/id/product_name");
        if (!product) return std::nullopt;
        const std::string value = trim(*product);
        if (value.empty()) return std::nullopt;
        return value;
    }
    // Linux's own kernel variables share the dotted naming: kernel.ostype is /proc/sys/kernel/ostype.
    if (name.empty() || name.find("..") != std::string::npos || name.find('/') != std::string::npos) {
        return std::nullopt;
    }
    std::string path = "proc/sys/" + name;
    std::replace(path.begin() + 9, path.end(), '.', '/');
    const auto value = readFile(path);
    if (!value || value->empty()) return std::nullopt;
    std::string text = *value;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\0')) text.pop_back();
    return text;
}

std::optional<std::int32_t> HostFacts::sysctlInt32(const std::string& name) const {
    // Linux runs no binary translation of the kind this asks about.
    if (name == "sysctl.proc_translated") return std::nullopt;
    const auto text = sysctlString(name);
    if (!text) return std::nullopt;
    try {
        std::size_t used = 0;
        const long value = std::stol(*text, &used);
        if (used != text->size() || value < INT32_MIN || value > INT32_MAX) return std::nullopt;
        return static_cast<std::int32_t>(value);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string HostFacts::operatingSystemName() const { return "Linux"; }

std::string HostFacts::kernelField(const char* variable) const {
    utsname uts{};
    if (root_ == "/" && uname(&uts) == 0) {
        const std::string name = variable;
        if (name == "osrelease") return uts.release;
        if (name == "version") return uts.version;
        if (name == "hostname") return uts.nodename;
    }
    const auto value = readFile(std::string("proc/sys/kernel/") + variable);
    return value ? trim(*value) : std::string();
}

std::map<std::string, std::string> HostFacts::osRelease() const {
    std::map<std::string, std::string> os;
    auto osRelease = readFile("etc/os-release");
    if (!osRelease) osRelease = readFile("usr/lib/os-release");
    if (!osRelease) return os;
    std::istringstream lines(*osRelease);
    std::string line;
    while (std::getline(lines, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        os[trim(line.substr(0, eq))] = unquote(trim(line.substr(eq + 1)));
    }
    return os;
}

std::string HostFacts::operatingSystemVersionString() const {
    const std::string kernel = kernelField("osrelease");
    // "6.1.0-28-amd64" reads as "6.1".
    std::string shortKernel;
    int dots = 0;
    for (char c : kernel) {
        if (c == '.' && ++dots == 2) break;
        if (c != '.' && (c < '0' || c > '9')) break;
        shortKernel += c;
    }
    if (shortKernel.empty()) shortKernel = kernel.empty() ? "unknown" : kernel;

    std::map<std::string, std::string> os = osRelease();
    std::string distribution = os["NAME"];
    if (!os["VERSION_ID"].empty()) distribution += (distribution.empty() ? "" : " ") + os["VERSION_ID"];
    if (distribution.empty()) distribution = os["PRETTY_NAME"];
    if (distribution.empty()) return shortKernel;
    return shortKernel + " (" + distribution + ")";
}

std::string HostFacts::operatingSystemFullVersionString() const {
    std::string kernel = "Linux";
    for (const char* field : {"osrelease", "version"}) {
        const std::string value = kernelField(field);
        if (!value.empty()) kernel += " " + value;
    }
    std::map<std::string, std::string> os = osRelease();
    std::string distribution = os["PRETTY_NAME"];
    if (distribution.empty()) distribution = os["NAME"];
    return distribution.empty() ? kernel : distribution + ", " + kernel;
}

std::optional<std::string> HostFacts::localizedName() const {
    if (const auto machineInfo = readFile("etc/machine-info")) {
        std::istringstream lines(*machineInfo);
        std::string line;
        while (std::getline(lines, line)) {
            const auto eq = line.find('=');
            if (eq == std::string::npos || trim(line.substr(0, eq)) != "PRETTY_HOSTNAME") continue;
            const std::string name = unquote(trim(line.substr(eq + 1)));
            if (!name.empty()) return name;
        }
    }
    const std::string hostName = kernelField("hostname");
    // The kernel's name for a machine nobody named.
    if (hostName.empty() || hostName == "(none)") return std::nullopt;
    return hostName;
}

std::string HostFacts::processorName() const {
    return sysctlString("machdep.cpu.brand_string").value_or(architecture());
}

double HostFacts::systemUptime() const {
    const auto uptime = readFile("proc/uptime");
    if (!uptime) return 0;
    std::istringstream in(*uptime);
    in.imbue(std::locale::classic());
    double seconds = 0;
    if (!(in >> seconds) || !(seconds >= 0)) return 0;
    return seconds;
}

HostDescription HostFacts::describe() const {
    HostDescription host;
    host.localizedName = localizedName();
    host.operatingSystemVersion = operatingSystemVersionString();
    host.operatingSystemVersionString = operatingSystemFullVersionString();
    host.processorName = processorName();
    host.processorCount = processorCount();
    host.physicalMemory = physicalMemory();
    host.systemUptime = systemUptime();
    return host;
}

std::string HostFacts::architecture() const {
    utsname uts{};
    if (uname(&uts) == 0) return uts.machine;
    return "unknown";
}

long HostFacts::activeProcessorCount() const { return std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)); }

long HostFacts::processorCount() const { return std::max(1L, sysconf(_SC_NPROCESSORS_CONF)); }

std::uint64_t HostFacts::physicalMemory() const {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

std::optional<std::uint64_t> HostFacts::residentMemoryBytes() const {
    const auto statm = readFile("proc/self/statm");
    if (!statm) return std::nullopt;
    std::istringstream in(*statm);
    std::uint64_t size = 0, resident = 0;
    if (!(in >> size >> resident)) return std::nullopt;
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pageSize <= 0) return std::nullopt;
    return resident * static_cast<std::uint64_t>(pageSize);
}

std::string formatByteCount(std::uint64_t bytes, bool binary) {
    const double unit = binary ? 1024.0 : 1000.0;
    if (bytes == 0) return "Zero KB";
    if (static_cast<double>(bytes) < unit) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    static const char* const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    static const int decimals[] = {0, 1, 2, 2, 2, 2};
    double value = static_cast<double>(bytes) / unit;
    int index = 0;
    while (value >= unit && index < 5) {
        value /= unit;
        ++index;
    }
    // In the C locale whatever the process's locale is: to_chars never reads it.
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals[index]);
    std::string number(text, written.ptr);
    if (number.find('.') != std::string::npos) {
        while (number.back() == '0') number.pop_back();
        if (number.back() == '.') number.pop_back();
    }
    return number + " " + units[index];
}

}  // namespace platform
