#include "RarivOredu/shared/BoundedTaskGroup.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace rarivoredu {

void BoundedTaskGroup::run(std::size_t count, const std::function<void(std::size_t index)>& task) const {
    if (count == 0) return;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::mutex errorLock;
    std::exception_ptr firstError;

    const auto work = [&] {
        for (;;) {
            if (failed.load(std::memory_order_acquire)) return;
            const std::size_t index = next.fetch_add(1, std::memory_order_relaxed);
            if (index >= count) return;
            try {
                task(index);
            } catch (...) {
                const std::lock_guard<std::mutex> guard(errorLock);
                if (!firstError) firstError = std::current_exception();
                failed.store(true, std::memory_order_release);
            }
        }
    };

    std::vector<std::thread> helpers;
    const std::size_t helperCount = std::min(count, maxWorkers_) - 1;
    helpers.reserve(helperCount);
    for (std::size_t i = 0; i < helperCount; ++i) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer threads: the tasks still all run
        }
    }
    work();
    for (auto& helper : helpers) helper.join();
    if (firstError) std::rethrow_exception(firstError);
}

}  // namespace rarivoredu
