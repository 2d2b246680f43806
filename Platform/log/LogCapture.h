#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Platform/log/LogEntry.h"
#include "Platform/log/OSLogType.h"

namespace platform {

// Collects every log entry of the process in memory while it lives, for tests.
// Construction installs it as the sink and lowers the threshold (debug by default) so that
// every entry arrives; destruction puts the previous sink and threshold back.
class LogCapture {
public:
    explicit LogCapture(OSLogType threshold = OSLogType::debug);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LogEntry> entries() const;
    // Entries of one category (any category when empty) whose message contains the text.
    std::vector<LogEntry> matching(const std::string& text, const std::string& category = {}) const;
    bool contains(const std::string& text, const std::string& category = {}) const;
    void clear();

private:
    class Sink;
    std::shared_ptr<Sink> sink_;
    std::shared_ptr<LogSink> previous_;
    OSLogType previousThreshold_;
};

}  // namespace platform
