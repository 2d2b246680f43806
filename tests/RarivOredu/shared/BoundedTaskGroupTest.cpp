#include "RarivOredu/shared/BoundedTaskGroup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace rarivoredu {
namespace {

TEST(BoundedTaskGroupTest, RunsEveryTaskOnceWithNoMoreThanItsWorkersAtATime) {
    struct Case {
        std::size_t workers;
        std::size_t tasks;
    };
    for (const Case c : {Case{1, 5}, Case{3, 40}, Case{8, 2}, Case{4, 0}}) {
        SCOPED_TRACE(testing::Message() << c.workers << " workers, " << c.tasks << " tasks");
        std::vector<std::atomic<int>> runs(c.tasks);
        std::atomic<int> running{0};
        std::atomic<int> mostAtOnce{0};
        std::mutex lock;
        std::set<std::thread::id> threads;
        BoundedTaskGroup(c.workers).run(c.tasks, [&](std::size_t index) {
            const int now = ++running;
            int seen = mostAtOnce.load();
            while (now > seen && !mostAtOnce.compare_exchange_weak(seen, now)) {
            }
            {
                const std::lock_guard<std::mutex> guard(lock);
                threads.insert(std::this_thread::get_id());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ++runs[index];
            --running;
        });
        for (const auto& count : runs) EXPECT_EQ(count, 1);
        EXPECT_LE(static_cast<std::size_t>(mostAtOnce.load()), std::max<std::size_t>(std::min(c.workers, c.tasks), 1));
        EXPECT_LE(threads.size(), c.workers);
    }
}

TEST(BoundedTaskGroupTest, AFailureStopsTheTasksNotYetStartedAndIsRethrownAfterTheRunningOnesEnd) {
    std::atomic<int> started{0};
    std::atomic<int> finished{0};
    try {
        BoundedTaskGroup(2).run(100, [&](std::size_t index) {
            ++started;
            if (index == 3) throw std::runtime_error("task 3 failed");
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            ++finished;
        });
        FAIL() << "the failure was not passed on";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "task 3 failed");
    }
    // Every task that started has ended by the time run() throws, and most never started.
    EXPECT_EQ(finished.load(), started.load() - 1);
    EXPECT_LT(started.load(), 10);
}

}  // namespace
}  // namespace rarivoredu
