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
    // Puts the UTF-8 text on the clipboard as plain text. True only when the clipboard holds that
    // text afterwards: false without a clipboard to write to (no desktop session) and when the
    // desktop did not take it (another program kept the clipboard).
    virtual bool setString(const std::string& text) = 0;
    // The plain text on the clipboard, if any.
    virtual std::optional<std::string> string() const = 0;

    // The desktop's clipboard: in a Wayland session whose compositor offers the data-control
    // protocol, through that (WaylandDataControlPasteboard); otherwise through QClipboard, which
    // needs a QGuiApplication (without one it holds nothing and refuses every write). The contents
    // stay available while the process runs.
    static std::shared_ptr<NSPasteboard> general();
    // The desktop's primary selection (PRIMARY on X11), what a middle click or Shift+Insert pastes
    // in a terminal, chosen the same way. Without one it refuses every write.
    static std::shared_ptr<NSPasteboard> selection();
};

}  // namespace platform
