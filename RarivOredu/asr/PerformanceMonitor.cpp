#include "RarivOredu/asr/PerformanceMonitor.h"

#include "Platform/system/HostFacts.h"

namespace rarivoredu {

PerformanceMonitor::PerformanceMonitor()
    : logger_("Performance"), signpostLogger_(AppLogger::defaultSubsystem(), "Performance") {}

float PerformanceMonitor::residentMemoryMB() {
    const auto bytes = platform::HostFacts().residentMemoryBytes();
    if (!bytes) return 0.0f;
    return static_cast<float>(*bytes) / 1024.0f / 1024.0f;
}

void PerformanceMonitor::record(const std::string& operationName, const ASRPerformanceMetrics& metrics) {
    {
        std::lock_guard lock(mutex_);
        metrics_.push_back(metrics);
    }
    if (logger_.isEnabled(AppLogger::Level::info)) logger_.info(operationName + " completed: " + metrics.summary());
}

std::optional<AggregatedMetrics> PerformanceMonitor::aggregatedMetrics() const {
    std::lock_guard lock(mutex_);
    if (metrics_.empty()) return std::nullopt;
    AggregatedMetrics aggregated;
    float rtfxSum = 0;
    double timeSum = 0;
    aggregated.maxMemoryMB = metrics_.front().peakMemoryMB;
    for (const auto& m : metrics_) {
        rtfxSum += finiteRealTimeFactor(m.rtfx);
        timeSum += m.totalProcessingTime;
        if (m.peakMemoryMB > aggregated.maxMemoryMB) aggregated.maxMemoryMB = m.peakMemoryMB;
    }
    const auto n = metrics_.size();
    aggregated.averageRTFx = finiteRealTimeFactor(rtfxSum / static_cast<float>(n));
    aggregated.averageProcessingTime = timeSum / static_cast<double>(n);
    aggregated.sampleCount = static_cast<int>(n);
    return aggregated;
}

void PerformanceMonitor::reset() {
    std::lock_guard lock(mutex_);
    metrics_.clear();
}

std::vector<ASRPerformanceMetrics> PerformanceMonitor::metrics() const {
    std::lock_guard lock(mutex_);
    return metrics_;
}

}  // namespace rarivoredu
