#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "Platform/log/OSSignposter.h"
#include "RarivOredu/asr/ASRPerformanceMetrics.h"
#include "RarivOredu/asr/AggregatedMetrics.h"
#include "RarivOredu/asr/RealTimeFactor.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/SecondsSince.h"

namespace rarivoredu {

// Times recognition work, marks it as signpost intervals ("ASR.Operation", "ASR.Component"),
// samples the resident memory and keeps one record per measured operation. The records are
// guarded by a mutex; the measured work runs outside it, on the caller's thread.
class PerformanceMonitor {
public:
    PerformanceMonitor();
    virtual ~PerformanceMonitor() = default;

    // Runs the operation and returns its value with the record of it, which is kept and logged.
    // An error of the operation reaches the caller unchanged and nothing is recorded.
    template <typename Operation>
    auto measureOperation(const std::string& operationName, float audioDuration, Operation&& operation)
        -> std::pair<std::invoke_result_t<Operation&>, ASRPerformanceMetrics>;

    // Runs the operation and returns its value with the elapsed seconds. Records nothing.
    template <typename Operation>
    auto measureComponent(const std::string& component, Operation&& operation)
        -> std::pair<std::invoke_result_t<Operation&>, double>;

    // The average over the kept records; nothing when there are none.
    virtual std::optional<AggregatedMetrics> aggregatedMetrics() const;
    virtual void reset();
    virtual std::vector<ASRPerformanceMetrics> metrics() const;

    // The process's resident memory in MB (1,048,576 bytes); 0 when it cannot be read.
    static float residentMemoryMB();

private:
    using Clock = std::chrono::steady_clock;
    void record(const std::string& operationName, const ASRPerformanceMetrics& metrics);

    AppLogger logger_;
    mutable std::mutex mutex_;
    std::vector<ASRPerformanceMetrics> metrics_;
    platform::OSSignposter signpostLogger_;
};

template <typename Operation>
auto PerformanceMonitor::measureOperation(const std::string& operationName, float audioDuration, Operation&& operation)
    -> std::pair<std::invoke_result_t<Operation&>, ASRPerformanceMetrics> {
    static_assert(!std::is_void_v<std::invoke_result_t<Operation&>>, "the operation returns a value");
    const auto id = signpostLogger_.makeSignpostID();
    signpostLogger_.beginInterval("ASR.Operation", id);
    const auto start = Clock::now();
    const float memoryBefore = residentMemoryMB();
    auto value = operation();
    const double duration = secondsSince(start);
    const float memoryAfter = residentMemoryMB();
    signpostLogger_.endInterval("ASR.Operation", id);

    ASRPerformanceMetrics metrics;
    metrics.totalProcessingTime = duration;
    metrics.rtfx = realTimeFactor(audioDuration, duration);
    metrics.peakMemoryMB = memoryBefore > memoryAfter ? memoryBefore : memoryAfter;
    record(operationName, metrics);
    return {std::move(value), metrics};
}

template <typename Operation>
auto PerformanceMonitor::measureComponent(const std::string&, Operation&& operation)
    -> std::pair<std::invoke_result_t<Operation&>, double> {
    static_assert(!std::is_void_v<std::invoke_result_t<Operation&>>, "the operation returns a value");
    const auto id = signpostLogger_.makeSignpostID();
    signpostLogger_.beginInterval("ASR.Component", id);
    const auto start = Clock::now();
    auto value = operation();
    const double elapsed = secondsSince(start);
    signpostLogger_.endInterval("ASR.Component", id);
    return {std::move(value), elapsed};
}

}  // namespace rarivoredu
