#pragma once

#include "Platform/desktop/NSPasteboard.h"

namespace platform {

// NSPasteboard over the application's QClipboard (the CLIPBOARD selection on X11).
class QClipboardPasteboard : public NSPasteboard {
public:
    void clearContents() override;
    bool setString(const std::string& text) override;
    std::optional<std::string> string() const override;
};

}  // namespace platform
