// The diagnostics report and the system information sheet: their text on a fixed machine, and the
// sheet's five facts on this one, checked against what uname and the kernel say.
#include "Parloquin/views/DiagnosticsReport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Parloquin/views/SystemInfoView.h"
#include "Platform/system/HostFacts.h"

namespace {

namespace fs = std::filesystem;
using parloquin::AppVersion;
using parloquin::DiagnosticsReport;
using parloquin::SystemInfoRow;
using parloquin::SystemInfoView;

std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Compares with the committed file; PARLOQUIN_WRITE_GOLDEN=1 writes it instead.
void expectGolden(const std::string& name, const std::string& actual) {
    const fs::path path = fs::path(PARLOQUIN_SOURCE_DIR) / "tests/fixtures/views" / name;
    if (std::getenv("PARLOQUIN_WRITE_GOLDEN")) {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    EXPECT_EQ(actual, read(path)) << name;
}

platform::HostDescription fixedHost() {
    platform::HostDescription host;
    host.localizedName = "Annas Laptop";
    host.operatingSystemVersion = "6.1 (Debian GNU/Linux 12)";
    host.operatingSystemVersionString =
        "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-28-amd64 #1 SMP PREEMPT_DYNAMIC Debian 6.1.119-1 (2024-11-22)";
    host.processorName = "AMD Ryzen 7 7840U w/ Radeon 780M Graphics";
    host.processorCount = 16;
    host.physicalMemory = (32ull << 30) - (700ull << 20);  // what the kernel keeps is not counted
    host.systemUptime = 3 * 3600 + 59 * 60;
    return host;
}

std::string command(const char* line) {
    std::string output;
    if (FILE* pipe = ::popen(line, "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
        ::pclose(pipe);
    }
    while (!output.empty() && output.back() == '\n') output.pop_back();
    return output;
}

TEST(DiagnosticsReportTest, TheReportOfAFixedMachine) {
    // 2025-01-31 12:00:00 UTC
    const platform::Date created = platform::Date::fromTimeIntervalSince1970(1738324800);
    expectGolden("diagnostics-report.txt", DiagnosticsReport::text({"0.1.0", "7"}, fixedHost(), created));

    // A build that names no version, on a machine without a name.
    platform::HostDescription nameless = fixedHost();
    nameless.localizedName.reset();
    const std::string report = DiagnosticsReport::text({}, nameless, created);
    EXPECT_NE(report.find("\nVersion: 1.0 (1)\n"), std::string::npos) << report;
    EXPECT_NE(report.find("\nGerät: Unbekannt\n"), std::string::npos) << report;
    EXPECT_TRUE(report.ends_with("Prozessoren: 16\n\n"));
}

TEST(DiagnosticsReportTest, MemoryInWholeGibibytes) {
    const std::vector<std::pair<std::uint64_t, std::string>> cases = {
        {8ull << 30, "8 GB"}, {(25ull << 30) / 2, "12 GB"}, {16ull << 30, "16 GB"}, {(1ull << 30) - 1, "0 GB"}};
    for (const auto& [bytes, text] : cases) EXPECT_EQ(DiagnosticsReport::memoryText(bytes), text) << bytes;
}

TEST(SystemInfoViewTest, TheFiveFactsOfAFixedMachine) {
    platform::HostDescription host = fixedHost();
    const std::vector<SystemInfoRow> expected = {
        {"Gerät", "Annas Laptop"},
        {"Linux",
         "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-28-amd64 #1 SMP PREEMPT_DYNAMIC Debian 6.1.119-1 (2024-11-22)"},
        {"Prozessoren", "16"},
        {"Arbeitsspeicher", "31 GB"},
        {"Betriebszeit", "3 Stunden"},
    };
    EXPECT_EQ(SystemInfoView::rows(host), expected);

    host.localizedName.reset();
    host.physicalMemory = 16ull << 30;
    host.systemUptime = 59 * 60;
    const std::vector<SystemInfoRow> rows = SystemInfoView::rows(host);
    EXPECT_EQ(rows[0].value, "Unbekannt");
    EXPECT_EQ(rows[3].value, "16 GB");
    EXPECT_EQ(rows[4].value, "0 Stunden");
}

TEST(SystemInfoViewTest, TheFiveFactsOfThisMachineAreTrue) {
    const platform::HostDescription host = platform::HostFacts().describe();
    const std::vector<SystemInfoRow> rows = SystemInfoView::rows(host);
    ASSERT_EQ(rows.size(), 5u);
    for (const SystemInfoRow& row : rows) EXPECT_FALSE(row.value.empty()) << row.label;

    // The machine's pretty name where it has one, else its host name.
    std::string prettyName;
    std::istringstream machineInfo(read("/etc/machine-info"));
    for (std::string line; std::getline(machineInfo, line);)
        if (line.rfind("PRETTY_HOSTNAME=", 0) == 0) prettyName = line.substr(16);
    if (prettyName.size() >= 2 && prettyName.front() == '"') prettyName = prettyName.substr(1, prettyName.size() - 2);
    EXPECT_EQ(rows[0].value, prettyName.empty() ? command("uname -n") : prettyName);

    EXPECT_NE(rows[1].value.find("Linux " + command("uname -r") + " " + command("uname -v")), std::string::npos)
        << rows[1].value;
    EXPECT_EQ(rows[2].value, command("getconf _NPROCESSORS_CONF"));

    std::uint64_t totalKiB = 0;
    std::istringstream meminfo(read("/proc/meminfo"));
    for (std::string key; meminfo >> key;) {
        if (key == "MemTotal:") {
            meminfo >> totalKiB;
            break;
        }
    }
    EXPECT_EQ(rows[3].value, std::to_string((totalKiB * 1024) >> 30) + " GB");

    double uptime = 0;
    std::istringstream(read("/proc/uptime")) >> uptime;
    const long hours = std::stol(rows[4].value);
    EXPECT_LE(std::abs(hours - static_cast<long>(uptime / 3600)), 1) << rows[4].value;
    EXPECT_TRUE(rows[4].value.ends_with(" Stunden"));
}

}  // namespace
