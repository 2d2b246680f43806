#include "RarivOredu/shared/SerialQueue.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace rarivoredu {
namespace {

TEST(SerialQueueTest, RunsBlocksOnOneThreadOfItsOwnAndHandsBackWhatTheyGive) {
    SerialQueue queue("com.example.queue");
    EXPECT_FALSE(queue.isCurrent());
    const auto caller = std::this_thread::get_id();
    const auto worker = queue.sync([&] {
        EXPECT_TRUE(queue.isCurrent());
        return std::this_thread::get_id();
    });
    EXPECT_NE(worker, caller);
    EXPECT_EQ(queue.sync([] { return std::string("result"); }), "result");
    EXPECT_THROW(queue.sync([]() -> int { throw std::runtime_error("inside"); }), std::runtime_error);
    // After a block threw, the queue goes on.
    EXPECT_EQ(queue.sync([] { return 7; }), 7);
    // A block that waits on its own queue runs the inner block at once.
    EXPECT_EQ(queue.sync([&] { return queue.sync([] { return 3; }) + 1; }), 4);
}

TEST(SerialQueueTest, BlocksFromManyThreadsNeverOverlap) {
    SerialQueue queue("com.example.queue");
    int inside = 0;
    int overlaps = 0;
    std::set<std::thread::id> workers;
    std::vector<std::thread> callers;
    for (int t = 0; t < 8; ++t) {
        callers.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                queue.sync([&] {
                    if (++inside != 1) ++overlaps;
                    workers.insert(std::this_thread::get_id());
                    --inside;
                });
            }
        });
    }
    for (auto& caller : callers) caller.join();
    EXPECT_EQ(overlaps, 0);
    EXPECT_EQ(workers.size(), 1u);
}

}  // namespace
}  // namespace rarivoredu
