#pragma once

#include <QClipboard>

#include "Platform/desktop/NSPasteboard.h"

namespace platform {

// NSPasteboard over one of the application's QClipboard selections: the clipboard (CLIPBOARD on
// X11) or the primary selection. A write is read back before it counts as done; on Qt's Wayland
// platform it counts only while a window of this process has the focus (the compositor ignores it
// otherwise, and Qt's read-back would still give the text).
class QClipboardPasteboard : public NSPasteboard {
public:
    explicit QClipboardPasteboard(QClipboard::Mode mode = QClipboard::Clipboard) : mode_(mode) {}

    void clearContents() override;
    bool setString(const std::string& text) override;
    std::optional<std::string> string() const override;

private:
    QClipboard::Mode mode_;
};

}  // namespace platform
