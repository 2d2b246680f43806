#pragma once

#include <memory>
#include <optional>
#include <string>

namespace platform {

// The desktop's clipboard for plain text. Main thread only.
class NSPasteboard {
public:
    virtual ~NSPasteboard() = default;

    // Empties the clipboard.
    virtual void clearContents() = 0;
    // Puts the UTF-8 text on the clipboard as plain text; false when there is no clipboard to
    // write to (no desktop session).
    virtual bool setString(const std::string& text) = 0;
    // The plain text on the clipboard, if any.
    virtual std::optional<std::string> string() const = 0;

    // The desktop's clipboard through QClipboard. It needs a QGuiApplication; without one it holds
    // nothing and refuses every write. The contents stay available while the process runs.
    static std::shared_ptr<NSPasteboard> general();
};

}  // namespace platform
