#include "Platform/ml/torch/CoreAvailability.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>

namespace platform {
namespace {

double clockSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The start of a small /proc file into `buffer`, without allocating.
std::string_view readStart(const char* path, char* buffer, std::size_t size) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    const ssize_t n = ::read(fd, buffer, size);
    ::close(fd);
    return n > 0 ? std::string_view(buffer, static_cast<std::size_t>(n)) : std::string_view();
}

// The next unsigned number of `text` after blanks; false when there is none.
bool nextNumber(std::string_view& text, unsigned long long& value) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    const auto [end, error] = std::from_chars(text.data() + i, text.data() + text.size(), value);
    if (error != std::errc() || end == text.data() + i) return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return true;
}

}  // namespace

int CoreAvailability::freeCores(int allowed, int online, double othersBusy) {
    allowed = std::max(allowed, 1);
    const double onOurs = std::max(0.0, othersBusy - std::max(0, online - allowed));
    const int busy = static_cast<int>(std::floor(onOurs + 0.5));
    // On a machine that is busy throughout, two threads still finish sooner than one: what a
    // pool loses to waiting grows with its width, not at two.
    return std::clamp(allowed - busy, std::min(allowed, 2), allowed);
}

double CoreAvailability::othersBusy(const Sample& earlier, const Sample& later) {
    const double wall = later.wallSeconds - earlier.wallSeconds;
    if (!(wall > 0)) return 0;
    const double others = (later.busyCoreSeconds - earlier.busyCoreSeconds) - (later.ownCpuSeconds - earlier.ownCpuSeconds);
    return std::max(0.0, others / wall);
}

bool CoreAvailability::parseProcStat(std::string_view text, double ticksPerSecond, Sample& sample) {
    // cpu  user nice system idle iowait irq softirq steal [guest guest_nice, already in user and nice]
    if (text.substr(0, 4) != "cpu ") return false;
    text.remove_prefix(4);
    unsigned long long fields[8];
    for (auto& field : fields) {
        if (!nextNumber(text, field)) return false;
    }
    const unsigned long long busy = fields[0] + fields[1] + fields[2] + fields[5] + fields[6] + fields[7];
    sample.busyCoreSeconds = static_cast<double>(busy) / ticksPerSecond;
    return true;
}

bool CoreAvailability::parseLoadAverage(std::string_view text, Sample& sample) {
    // 0.52 0.58 0.59 3/1034 20158: the fourth field is runnable/all tasks
    for (int field = 0; field < 3; ++field) {
        const auto blank = text.find(' ');
        if (blank == std::string_view::npos) return false;
        text.remove_prefix(blank + 1);
    }
    unsigned long long runnable = 0;
    if (!nextNumber(text, runnable) || text.empty() || text.front() != '/') return false;
    sample.runnable = static_cast<int>(std::min(runnable, 1ull << 20));
    return true;
}

int CoreAvailability::allowedCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
    return std::max(1, CPU_COUNT(&set));
}

CoreAvailability::CoreAvailability(std::chrono::milliseconds interval, std::chrono::milliseconds stale)
    : interval_(std::chrono::duration<double>(interval).count()),
      stale_(std::chrono::duration<double>(stale).count()),
      ticksPerSecond_(static_cast<double>(std::max(1L, sysconf(_SC_CLK_TCK)))),
      online_(static_cast<int>(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)))),
      free_(allowedCores()) {}

bool CoreAvailability::read(Sample& sample) {
    sample.wallSeconds = clockSeconds(CLOCK_MONOTONIC);
    sample.ownCpuSeconds = clockSeconds(CLOCK_PROCESS_CPUTIME_ID);
    return parseProcStat(readStart("/proc/stat", buffer_, sizeof buffer_), ticksPerSecond_, sample) &&
           parseLoadAverage(readStart("/proc/loadavg", buffer_, sizeof buffer_), sample);
}

int CoreAvailability::freeCoresNow() {
    const double now = clockSeconds(CLOCK_MONOTONIC);
    if (now < nextReading_.load(std::memory_order_relaxed)) return free_.load(std::memory_order_relaxed);
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock()) return free_.load(std::memory_order_relaxed);  // another thread is reading

    Sample sample;
    const int allowed = allowedCores();
    int cores = allowed;
    if (read(sample)) {
        // Right after a pause the pools are asleep and the tasks ready to run are the others' (and
        // this thread); within a run this process's own threads are among them, so the busy time
        // of the last interval tells them apart.
        const bool recent = haveLast_ && sample.wallSeconds - last_.wallSeconds <= stale_;
        const double others = recent ? othersBusy(last_, sample) : std::max(0, sample.runnable - 1);
        cores = freeCores(allowed, online_, others);
        last_ = sample;
        haveLast_ = true;
    }
    free_.store(cores, std::memory_order_relaxed);
    nextReading_.store(now + interval_, std::memory_order_relaxed);
    return cores;
}

}  // namespace platform
