#pragma once

#include <mutex>

#include "RarivOredu/shared/AppLogger.h"

namespace rarivoredu {

// Writes the host line into the log once per process, before the first model load.
class SystemInfoReporter {
public:
    static SystemInfoReporter& shared();

    // The first call logs "Host environment: " and the host line at level info; later calls do nothing.
    void logIfNeeded(const AppLogger& logger);
    bool didLog() const;

private:
    SystemInfoReporter() = default;

    mutable std::mutex mutex_;
    bool didLog_ = false;
};

}  // namespace rarivoredu
