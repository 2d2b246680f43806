#include "RarivOredu/shared/SystemInfoReporter.h"

#include "RarivOredu/shared/SystemInfo.h"

namespace rarivoredu {

SystemInfoReporter& SystemInfoReporter::shared() {
    static SystemInfoReporter instance;
    return instance;
}

void SystemInfoReporter::logIfNeeded(const AppLogger& logger) {
    std::lock_guard lock(mutex_);
    if (didLog_) return;
    didLog_ = true;
    logger.info("Host environment: " + SystemInfo::summary());
}

bool SystemInfoReporter::didLog() const {
    std::lock_guard lock(mutex_);
    return didLog_;
}

}  // namespace rarivoredu
