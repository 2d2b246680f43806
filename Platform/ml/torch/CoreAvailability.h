#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string_view>

namespace platform {

// How many of the cores this process may run on other programs leave free. A pool that spans
// every core waits at each of its parallel steps for the one thread the scheduler gave away, so
// on a busy desktop (a build, a browser) the pools are sized to the free cores instead.
//
// Other programs' use is what the whole machine's busy time (/proc/stat) grew by, minus this
// process's own CPU time, over the last interval of at least `interval`; after a pause longer
// than `stale` the number of runnable tasks stands in for it until a new interval has passed.
// Cheap to ask per prediction: the files are read at most once an interval.
class CoreAvailability {
public:
    // One reading of the machine.
    struct Sample {
        double wallSeconds = 0;
        double busyCoreSeconds = 0;  // all programs, all cores
        double ownCpuSeconds = 0;    // this process
        int runnable = 0;            // tasks running or ready to run, the reader among them
    };

    // The cores of `allowed` left free when `othersBusy` cores' worth of other work runs on the
    // `online` cores of the machine: others run first on the cores this process may not use.
    // At least two where two are allowed.
    static int freeCores(int allowed, int online, double othersBusy);
    // The cores' worth of work other programs did between two samples.
    static double othersBusy(const Sample& earlier, const Sample& later);
    // The busy time of all cores from /proc/stat's text (its first line), into `sample`. False
    // when the line is missing or unreadable.
    static bool parseProcStat(std::string_view text, double ticksPerSecond, Sample& sample);
    // The runnable tasks from /proc/loadavg's text, into `sample`. False when unreadable.
    static bool parseLoadAverage(std::string_view text, Sample& sample);

    // The cores in this process's affinity mask.
    static int allowedCores();

    explicit CoreAvailability(std::chrono::milliseconds interval = std::chrono::milliseconds(100),
                              std::chrono::milliseconds stale = std::chrono::milliseconds(1000));

    // The cores to use now; reads the machine when the last reading is an interval old.
    int freeCoresNow();
    // The answer of the last freeCoresNow(), without reading anything.
    int lastFreeCores() const { return free_.load(std::memory_order_relaxed); }

private:
    bool read(Sample& sample);

    const double interval_;
    const double stale_;
    const double ticksPerSecond_;
    const int online_;
    char buffer_[1024];
    std::mutex mutex_;
    Sample last_;
    bool haveLast_ = false;
    std::atomic<double> nextReading_{0};
    std::atomic<int> free_;
};

}  // namespace platform
