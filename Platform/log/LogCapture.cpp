#include "Platform/log/LogCapture.h"

#include <mutex>

#include "Platform/log/Logger.h"

namespace platform {

class LogCapture::Sink : public LogSink {
public:
    void write(const LogEntry& entry) override {
        std::lock_guard lock(mutex);
        entries.push_back(entry);
    }

    mutable std::mutex mutex;
    std::vector<LogEntry> entries;
};

LogCapture::LogCapture(OSLogType threshold)
    : sink_(std::make_shared<Sink>()), previousThreshold_(Logger::threshold()) {
    previous_ = Logger::setSink(sink_);
    Logger::setThreshold(threshold);
}

LogCapture::~LogCapture() {
    Logger::setThreshold(previousThreshold_);
    Logger::setSink(previous_);
}

std::vector<LogEntry> LogCapture::entries() const {
    std::lock_guard lock(sink_->mutex);
    return sink_->entries;
}

std::vector<LogEntry> LogCapture::matching(const std::string& text, const std::string& category) const {
    std::lock_guard lock(sink_->mutex);
    std::vector<LogEntry> found;
    for (const auto& e : sink_->entries) {
        if (!category.empty() && e.category != category) continue;
        if (e.message.find(text) != std::string::npos) found.push_back(e);
    }
    return found;
}

bool LogCapture::contains(const std::string& text, const std::string& category) const {
    return !matching(text, category).empty();
}

void LogCapture::clear() {
    std::lock_guard lock(sink_->mutex);
    sink_->entries.clear();
}

}  // namespace platform
