#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Platform/system/UUID.h"

namespace parloquin {

// One notice of the open-source sheet: a component the program rests on, its licence and where
// the licence text is (empty when there is no link).
struct License {
    platform::UUID id;
    std::string name;
    std::string license;
    std::string url;

    // A row of the table of components. `packages` are the Debian packages of the application's
    // list (scripts/packages.sh) that bring the component (none for the speech models, which are
    // downloaded).
    struct Component {
        const char* name;
        const char* license;
        const char* url;
        std::vector<std::string_view> packages;
    };
    // Every component this build links or loads, in the order the sheet shows them.
    static const std::vector<Component>& components();

    // The notices of the components, each with a fresh id.
    static std::vector<License> defaultNotices();
};

}  // namespace parloquin
