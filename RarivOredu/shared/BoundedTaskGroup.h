#pragma once

#include <cstddef>
#include <functional>

namespace rarivoredu {

// Runs a numbered set of tasks on at most `maxWorkers` threads at a time: the calling thread and
// up to maxWorkers − 1 threads of its own, each taking the next task number when it is free.
// run() returns when every task has run. Once a task throws, no further task starts; run() waits
// for the tasks that are running and then rethrows the first exception.
class BoundedTaskGroup {
public:
    explicit BoundedTaskGroup(std::size_t maxWorkers) noexcept : maxWorkers_(maxWorkers == 0 ? 1 : maxWorkers) {}

    std::size_t maxWorkers() const noexcept { return maxWorkers_; }

    // Calls task(0) … task(count − 1), each exactly once unless a failure stops the rest.
    void run(std::size_t count, const std::function<void(std::size_t index)>& task) const;

private:
    std::size_t maxWorkers_;
};

}  // namespace rarivoredu
