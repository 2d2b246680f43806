#include "Platform/log/OSLogType.h"

#include <syslog.h>

namespace platform {

int journalPriority(OSLogType type) noexcept {
    switch (type) {
        case OSLogType::debug: return LOG_DEBUG;
        case OSLogType::info: return LOG_INFO;
        case OSLogType::defaultType: return LOG_NOTICE;
        case OSLogType::error: return LOG_ERR;
        case OSLogType::fault: return LOG_CRIT;
    }
    return LOG_NOTICE;
}

const char* name(OSLogType type) noexcept {
    switch (type) {
        case OSLogType::debug: return "debug";
        case OSLogType::info: return "info";
        case OSLogType::defaultType: return "default";
        case OSLogType::error: return "error";
        case OSLogType::fault: return "fault";
    }
    return "default";
}

}  // namespace platform
