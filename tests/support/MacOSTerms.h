#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// Names of macOS permissions, panes and features that a text shown on Linux must not state as
// facts: each one found in `text`.
inline std::vector<std::string> macOSTermsIn(std::string_view text) {
    static const char* const terms[] = {
        "Eingabeüberwachung", "Bedienungshilfen", "Systemeinstellungen", "Spotlight", "Input Monitoring",
        "Accessibility",      "macOS",            "Finder",              "Dock",
    };
    std::vector<std::string> found;
    for (const char* term : terms) {
        if (text.find(term) != std::string_view::npos) found.emplace_back(term);
    }
    return found;
}

}  // namespace testsupport
