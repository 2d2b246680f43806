#pragma once

#include <optional>
#include <string>

namespace parloquin {

// The version this program was built as, as the about card, the about dialog, the diagnostics
// report and --version show it.
struct AppVersion {
    std::optional<std::string> shortVersion;  // "0.1.0"
    std::optional<std::string> buildNumber;

    // What the build says of itself.
    static AppVersion bundle();

    // The short version, else "1.0".
    std::string appVersion() const;
    // The build number, else "1".
    std::string build() const;
    // "0.1.0 (1)"
    std::string text() const;
};

}  // namespace parloquin
