#include "Parloquin/services/BackupCorruptedData.h"

#include "Platform/log/Logger.h"
#include "Platform/text/NumberFormat.h"

namespace parloquin {

std::string backupCorruptedData(platform::UserDefaults& defaults, const platform::Data& data, std::string_view name,
                                platform::Date now) {
    std::string key = "corrupted_" + std::string(name) + "_" + platform::formatShortest(now.timeIntervalSince1970());
    const platform::Logger logger("com.parloquin", "Stores");
    if (defaults.setData(key, data)) {
        logger.log(platform::OSLogType::error, "Stored " + std::string(name) + " did not decode; kept as " + key);
    } else {
        logger.log(platform::OSLogType::fault,
                   "Stored " + std::string(name) + " did not decode and could not be kept as " + key);
    }
    return key;
}

}  // namespace parloquin
