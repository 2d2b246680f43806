#include "Parloquin/services/AppVersion.h"

namespace parloquin {

AppVersion AppVersion::bundle() {
    AppVersion version;
#ifdef PARLOQUIN_VERSION
    version.shortVersion = PARLOQUIN_VERSION;
#endif
#ifdef PARLOQUIN_BUILD_NUMBER
    version.buildNumber = PARLOQUIN_BUILD_NUMBER;
#endif
    return version;
}

std::string AppVersion::appVersion() const { return shortVersion.value_or("1.0"); }

std::string AppVersion::build() const { return buildNumber.value_or("1"); }

std::string AppVersion::text() const { return appVersion() + " (" + build() + ")"; }

}  // namespace parloquin
