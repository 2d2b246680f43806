#include "Parloquin/services/RTFWriter.h"

#include <unicode/ustring.h>

#include <cstdint>
#include <cstdio>

namespace parloquin {
namespace {

// The text as UTF-16 code units; nothing when it is not well-formed UTF-8.
std::optional<std::u16string> utf16(const std::string& text) {
    if (text.empty()) return std::u16string();
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, text.data(), static_cast<int32_t>(text.size()), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return std::nullopt;
    std::u16string result(static_cast<std::size_t>(length), u'\0');
    status = U_ZERO_ERROR;
    u_strFromUTF8(result.data(), length, nullptr, text.data(), static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status)) return std::nullopt;
    return result;
}

void appendEscaped(std::string& out, const std::u16string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        switch (unit) {
            case u'\\': out += "\\\\"; continue;
            case u'{': out += "\\{"; continue;
            case u'}': out += "\\}"; continue;
            case u'\t': out += "\\tab "; continue;
            case u'\r':
                if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
                [[fallthrough]];
            case u'\n': out += "\\par\n"; continue;
            default: break;
        }
        char escape[16];
        if (unit >= 0x20 && unit < 0x7F) {
            out += static_cast<char>(unit);
        } else if (unit < 0x80) {  // other control characters, by their code
            std::snprintf(escape, sizeof escape, "\\'%02x", static_cast<unsigned>(unit));
            out += escape;
        } else {
            std::snprintf(escape, sizeof escape, "\\u%d?", static_cast<int>(static_cast<std::int16_t>(unit)));
            out += escape;
        }
    }
}

}  // namespace

std::optional<platform::Data> RTFWriter::document(const std::vector<Run>& runs) {
    std::string out =
        "{\\rtf1\\ansi\\ansicpg1252\\uc1\\deff0\n"
        "{\\fonttbl{\\f0\\fswiss\\fcharset0 Sans;}}\n"
        "{\\colortbl;\\red0\\green0\\blue0;\\red128\\green128\\blue128;}\n"
        "\\pard\\plain\\f0\n";
    for (const auto& run : runs) {
        const auto text = utf16(run.text);
        if (!text) return std::nullopt;
        if (!run.font) {
            appendEscaped(out, *text);
            continue;
        }
        out += "{\\f0\\fs" + std::to_string(run.font->pointSize * 2);
        if (run.font->bold) out += "\\b";
        out += run.font->secondaryColor ? "\\cf2 " : "\\cf1 ";
        appendEscaped(out, *text);
        out += "}";
    }
    out += "}\n";
    return platform::Data(out.begin(), out.end());
}

}  // namespace parloquin
