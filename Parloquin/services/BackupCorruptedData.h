#pragma once

#include <string>
#include <string_view>

#include "Platform/system/Data.h"
#include "Platform/system/Date.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

// Sets aside a stored value that no longer decodes: the bytes are stored unchanged under
// "corrupted_" + name + "_" + the moment as seconds since 1970 in shortest round-trip form
// (corrupted_history_1765158733.412731). Backups are never read or removed by the application.
// Returns the key; the failure of the write is logged.
std::string backupCorruptedData(platform::UserDefaults& defaults, const platform::Data& data, std::string_view name,
                                platform::Date now);

}  // namespace parloquin
