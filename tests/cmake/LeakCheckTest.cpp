#include <gtest/gtest.h>
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

namespace {

constexpr int workers = 8;
std::atomic<void*> blocks[workers];
std::atomic<int> started{0};

// The workers of a library's thread pool touch its thread_locals on their first job and then wait
// for the next one, still alive when the program ends and the sanitizer build's leak check stops
// them to scan their memory. That check has to get through them: the test's real verdict is the
// program's exit status in that build.
TEST(LeakCheckTest, PoolThreadsAliveAtExitWithDynamicThreadLocalsPassTheLeakCheck) {
    void* module = dlopen(THREAD_LOCAL_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    const auto threadLocalBlock = reinterpret_cast<void* (*)()>(dlsym(module, "threadLocalBlock"));
    ASSERT_NE(threadLocalBlock, nullptr);

    std::set<void*> distinct{threadLocalBlock()};
    for (int i = 0; i < workers; ++i) {
        std::thread([threadLocalBlock, i] {
            blocks[i] = threadLocalBlock();
            ++started;
            for (;;) pause();
        }).detach();
    }
    while (started < workers) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    for (const auto& block : blocks) {
        ASSERT_NE(block.load(), nullptr);
        distinct.insert(block.load());
    }
    EXPECT_EQ(distinct.size(), static_cast<size_t>(workers + 1)) << "each thread has a block of its own";
}

}  // namespace
