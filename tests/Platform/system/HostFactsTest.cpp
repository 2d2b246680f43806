// The facts about the machine that the pages and the diagnostics report show, read from a
// prepared file-system tree.
#include "Platform/system/HostFacts.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/TemporaryDirectory.h"

namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

class HostFactsTest : public ::testing::Test {
protected:
    void put(const std::string& relative, const char* text) {
        fs::remove(root / relative);
        if (text) writeFile(root / relative, text);
    }
    platform::HostFacts host() const { return platform::HostFacts(root.path().string()); }

    testsupport::TemporaryDirectory root;
};

TEST_F(HostFactsTest, TheMachinesNameIsThePrettyHostNameElseTheHostName) {
    struct Case {
        const char* machineInfo;
        const char* hostname;
        std::optional<std::string> name;
    };
    const std::vector<Case> cases = {
        {"PRETTY_HOSTNAME=\"Annas Laptop\"\nICON_NAME=computer-laptop\n", "anna-x1\n", "Annas Laptop"},
        {"ICON_NAME=computer-laptop\n", "anna-x1\n", "anna-x1"},
        {"PRETTY_HOSTNAME=\n", "anna-x1\n", "anna-x1"},
        {nullptr, "anna-x1\n", "anna-x1"},
        {nullptr, "(none)\n", std::nullopt},  // the kernel's name for a machine nobody named
        {nullptr, nullptr, std::nullopt},
    };
    for (const Case& c : cases) {
        put("etc/machine-info", c.machineInfo);
        put("proc/sys/kernel/hostname", c.hostname);
        EXPECT_EQ(host().localizedName(), c.name) << (c.machineInfo ? c.machineInfo : "-");
    }
}

TEST_F(HostFactsTest, TheOperatingSystemIsTheDistributionAndTheKernel) {
    put("proc/sys/kernel/osrelease", "6.1.0-28-amd64\n");
    put("proc/sys/kernel/version", "#1 SMP PREEMPT_DYNAMIC Debian 6.1.119-1 (2024-11-22)\n");
    put("etc/os-release", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\n");
    EXPECT_EQ(host().operatingSystemVersionString(), "6.1 (Debian GNU/Linux 12)");
    EXPECT_EQ(host().operatingSystemFullVersionString(),
              "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-28-amd64 #1 SMP PREEMPT_DYNAMIC Debian 6.1.119-1 (2024-11-22)");

    // Without os-release (nor its fallback) only the kernel is known.
    put("etc/os-release", nullptr);
    EXPECT_EQ(host().operatingSystemFullVersionString(),
              "Linux 6.1.0-28-amd64 #1 SMP PREEMPT_DYNAMIC Debian 6.1.119-1 (2024-11-22)");
    put("usr/lib/os-release", "NAME=\"Fedora Linux\"\nVERSION_ID=40\n");
    EXPECT_EQ(host().operatingSystemFullVersionString(),
              "Fedora Linux, Linux 6.1.0-28-amd64 #1 SMP PREEMPT_DYNAMIC Debian 6.1.119-1 (2024-11-22)");
}

TEST_F(HostFactsTest, ProcessorAndUptime) {
    put("proc/cpuinfo", "processor\t: 0\nmodel name\t: Example CPU @ 3.00GHz\n");
    put("proc/uptime", "3540.25 7000.10\n");
    platform::HostDescription described = host().describe();
    EXPECT_EQ(described.processorName, "Example CPU @ 3.00GHz");
    EXPECT_DOUBLE_EQ(described.systemUptime, 3540.25);

    // No model name: the architecture says what the processor is. Unreadable uptime: 0.
    put("proc/cpuinfo", "processor\t: 0\n");
    put("proc/uptime", "soon\n");
    described = host().describe();
    EXPECT_EQ(described.processorName, host().architecture());
    EXPECT_FALSE(described.processorName.empty());
    EXPECT_EQ(described.systemUptime, 0.0);
}

}  // namespace
