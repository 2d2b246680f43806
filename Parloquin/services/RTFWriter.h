#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Platform/system/Data.h"

namespace parloquin {

// Writes styled text as an RTF document: one sans-serif font, black and a secondary grey.
class RTFWriter {
public:
    struct Font {
        int pointSize;
        bool bold;
        bool secondaryColor;  // grey, for lines of lesser importance
    };
    struct Run {
        std::string text;          // UTF-8; "\n" (or "\r\n", "\r") starts a new paragraph
        std::optional<Font> font;  // none: the document's plain default
    };

    // The document's bytes (7-bit ASCII: `\`, `{` and `}` escaped, other characters as
    // \uN? with N the signed 16-bit UTF-16 code unit). Nothing when a run is not UTF-8.
    static std::optional<platform::Data> document(const std::vector<Run>& runs);
};

}  // namespace parloquin
