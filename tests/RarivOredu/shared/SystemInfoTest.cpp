#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "Platform/system/HostFacts.h"
#include "RarivOredu/shared/SystemInfo.h"
#include "RarivOredu/shared/SystemInfoReporter.h"

namespace rarivoredu {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

TEST(SystemInfoTest, ChipFallsBackFromProcessorNameToMachineModelToUnknown) {
    const fs::path root = fs::temp_directory_path() / ("hostfacts-" + std::to_string(::getpid()));
    fs::remove_all(root);
    writeFile(root / "etc/os-release", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\n");
    writeFile(root / "proc/sys/kernel/osrelease", "6.1.0-28-amd64\n");

    struct Case {
        const char* cpuinfo;
        const char* product;
        std::string chip;
    };
    const std::vector<Case> cases = {
        {"processor\t: 0\nmodel name\t: Example CPU @ 3.00GHz\n", "Box 9000\n", "Example CPU @ 3.00GHz"},
        {nullptr, "Box 9000\n", "Box 9000"},
        {"processor\t: 0\n", nullptr, "UnknownChip"},
        {nullptr, nullptr, "UnknownChip"},
    };
    for (const auto& c : cases) {
        fs::remove(root / "proc/cpuinfo");
        fs::remove(root / "sys/devices/virtual/dmi/id/product_name");
        if (c.cpuinfo) writeFile(root / "proc/cpuinfo", c.cpuinfo);
        if (c.product) writeFile(root / "sys/devices/virtual/dmi/id/product_name", c.product);
        const std::string line = SystemInfo::summary(platform::HostFacts(root.string()));
        EXPECT_NE(line.find(", chip=" + c.chip + ", cores="), std::string::npos) << line;
        EXPECT_EQ(line.rfind("Linux 6.1 (Debian GNU/Linux 12), arch=", 0), 0u) << line;
        EXPECT_TRUE(std::regex_search(line, std::regex(R"(, cores=\d+/\d+, mem=[0-9.]+ [KMGT]B, rosetta=false$)")))
            << line;
    }
    fs::remove_all(root);
}

TEST(SystemInfoTest, KernelVariablesReadFromProcSys) {
    EXPECT_EQ(platform::HostFacts().sysctlString("kernel.ostype"), "Linux");
    EXPECT_FALSE(platform::HostFacts().sysctlString("no.such.variable").has_value());
    EXPECT_FALSE(platform::HostFacts().sysctlString("../../etc/passwd").has_value());
    EXPECT_FALSE(platform::HostFacts().sysctlInt32("sysctl.proc_translated").has_value());
    EXPECT_GT(SystemInfo::residentMemoryBytes().value_or(0), 0u);
}

TEST(SystemInfoTest, ByteCountsReadLikeADesktopShowsThem) {
    const std::vector<std::pair<std::uint64_t, std::string>> cases = {
        {0, "Zero KB"},
        {1, "1 byte"},
        {512, "512 bytes"},
        {2048, "2 KB"},
        {1536ull * 1024, "1.5 MB"},
        {16ull << 30, "16 GB"},
        {(24ull << 30) - (300ull << 20), "23.71 GB"},
        {3ull << 40, "3 TB"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(platform::formatByteCount(bytes), text) << bytes;
}

TEST(SystemInfoReporterTest, ConcurrentFirstCallsLogTheHostLineOnce) {
    platform::LogCapture capture;
    const AppLogger logger("DownloadUtils");
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) threads.emplace_back([&] { SystemInfoReporter::shared().logIfNeeded(logger); });
    for (auto& t : threads) t.join();
    SystemInfoReporter::shared().logIfNeeded(logger);
    const auto lines = capture.matching("Host environment: ");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].type, platform::OSLogType::info);
    EXPECT_EQ(lines[0].message, "Host environment: " + SystemInfo::summary());
    EXPECT_TRUE(SystemInfoReporter::shared().didLog());
}

}  // namespace
}  // namespace rarivoredu
