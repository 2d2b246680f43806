#pragma once

#include <string>

#include "Platform/system/UserDefaults.h"

namespace parloquin {

// What the user reads when the settings file (which also holds the history and the statistics)
// cannot be written.
struct SettingsFileNotices {
    static constexpr const char* saveFailedTitle = "Einstellungen nicht gespeichert";
    // Names the folder and the cause, and says that nothing is lost yet.
    static std::string saveFailedBody(const platform::UserDefaults::SaveProblem& problem);
    // The cause in German, from the errno of the failed step.
    static std::string cause(long errorCode);
};

}  // namespace parloquin
