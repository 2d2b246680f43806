#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "Platform/ml/torch/CoreAvailability.h"

namespace platform {
namespace {

TEST(CoreAvailabilityTest, PoolsSpanTheAllowedCoresOthersLeaveFree) {
    struct Case {
        const char* what;
        int allowed, online;
        double othersBusy;
        int expected;
    };
    const Case cases[] = {
        {"a quiet machine", 8, 8, 0.0, 8},
        {"a little background work", 8, 8, 0.4, 8},
        {"two busy loops", 8, 8, 2.0, 6},
        {"four busy loops, measured a little high", 8, 8, 4.3, 4},
        {"a build on every core keeps two threads", 8, 8, 8.0, 2},
        {"more work than cores", 8, 8, 25.0, 2},
        {"others' work lands first on the cores this process may not use", 4, 8, 3.0, 4},
        {"and then on ours", 4, 8, 6.0, 2},
        {"one allowed core", 1, 8, 0.0, 1},
        {"one allowed core on a busy machine", 1, 8, 9.0, 1},
        {"two allowed cores, all busy", 2, 2, 5.0, 2},
        {"no affinity answer", 0, 8, 0.0, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CoreAvailability::freeCores(c.allowed, c.online, c.othersBusy), c.expected) << c.what;
    }
}

TEST(CoreAvailabilityTest, OthersWorkIsTheMachinesBusyTimeLessThisProcesssOwn) {
    using Sample = CoreAvailability::Sample;
    const Sample start{10.0, 500.0, 20.0, 1};
    EXPECT_DOUBLE_EQ(CoreAvailability::othersBusy(start, {10.5, 504.0, 22.0, 3}), 4.0);
    EXPECT_DOUBLE_EQ(CoreAvailability::othersBusy(start, {11.0, 508.0, 28.0, 9}), 0.0) << "only our own work";
    // The machine's ticks are coarser than our own clock: never less than nothing.
    EXPECT_DOUBLE_EQ(CoreAvailability::othersBusy(start, {10.1, 500.1, 20.3, 1}), 0.0);
    EXPECT_DOUBLE_EQ(CoreAvailability::othersBusy(start, start), 0.0) << "no time passed";
}

TEST(CoreAvailabilityTest, ProcStatAndLoadAverageAreReadOrRefused) {
    CoreAvailability::Sample sample;
    ASSERT_TRUE(CoreAvailability::parseProcStat(
        "cpu  1000 50 300 9000 200 10 40 0 70 0\ncpu0 100 5 30 900 20 1 4 0 7 0\nintr 1 2 3\n", 100, sample));
    EXPECT_DOUBLE_EQ(sample.busyCoreSeconds, 14.0) << "user, nice, system, irq, softirq and steal; not idle or iowait";

    const char* refusedStat[] = {"", "cpu0 1 2 3 4 5 6 7 8\n", "cpu  1 2 3 4 5 6\n", "cpu  1 2 x 4 5 6 7 8\n", "intr 1 2\n"};
    for (const char* text : refusedStat) EXPECT_FALSE(CoreAvailability::parseProcStat(text, 100, sample)) << text;

    ASSERT_TRUE(CoreAvailability::parseLoadAverage("2.50 1.75 0.90 3/1034 20158\n", sample));
    EXPECT_EQ(sample.runnable, 3);
    const char* refusedLoad[] = {"", "2.50 1.75 0.90", "2.50 1.75 0.90 x/10 1", "2.50 1.75 0.90 3 1"};
    for (const char* text : refusedLoad) EXPECT_FALSE(CoreAvailability::parseLoadAverage(text, sample)) << text;
}

std::string fileStart(const char* path) {
    char buffer[1024];
    const int fd = ::open(path, O_RDONLY);
    const ssize_t n = fd < 0 ? -1 : ::read(fd, buffer, sizeof buffer);
    if (fd >= 0) ::close(fd);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

TEST(CoreAvailabilityTest, ThisMachinesFilesAreUnderstood) {
    CoreAvailability::Sample sample;
    EXPECT_TRUE(CoreAvailability::parseProcStat(fileStart("/proc/stat"), static_cast<double>(sysconf(_SC_CLK_TCK)), sample));
    EXPECT_GT(sample.busyCoreSeconds, 0);
    EXPECT_TRUE(CoreAvailability::parseLoadAverage(fileStart("/proc/loadavg"), sample));
    EXPECT_GE(sample.runnable, 1) << "the reader itself runs";

    CoreAvailability availability;
    const int cores = availability.freeCoresNow();
    EXPECT_GE(cores, 1);
    EXPECT_LE(cores, CoreAvailability::allowedCores());
    EXPECT_EQ(availability.lastFreeCores(), cores);
}

}  // namespace
}  // namespace platform
