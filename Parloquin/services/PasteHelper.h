#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Platform/desktop/CGEvent.h"
#include "Platform/desktop/NSPasteboard.h"
#include "Platform/desktop/PermissionProbe.h"
#include "Platform/desktop/SyntheticKeyboard.h"

namespace parloquin {

// Delivers text: the synthetic paste into the focused application (Ctrl+V, the desktop's paste
// chord; Shift+Insert in an X terminal, where Ctrl+V is a control character), the clipboard copy,
// and the Accessibility check that decides whether a synthetic paste can work at all in this
// session. The keys go through TextDelivery, which picks the way that reaches the focused window
// (XTest, KWin's fake input, wlroots' virtual keyboard, GNOME's RemoteDesktop portal). The text
// comes already formatted (SpokenFormatting). Static only; main thread only.
class PasteHelper {
public:
    PasteHelper() = delete;

    // The desktop services the helper works through. The default is the real desktop: the
    // clipboard and the primary selection (NSPasteboard: data-control on Wayland where offered,
    // else QClipboard), TextDelivery's routes as the keyboard, and a probe that grants a paste
    // where one of them can work in this session.
    struct Desktop {
        std::shared_ptr<platform::NSPasteboard> pasteboard;
        std::shared_ptr<platform::SyntheticKeyboard> keyboard;
        std::shared_ptr<platform::PermissionProbe> permissions;
        std::shared_ptr<platform::NSPasteboard> selection;
    };

    // The keys that paste, and whether they paste the primary selection rather than the clipboard.
    struct PasteChord {
        std::uint16_t virtualKeyCode;
        platform::CGEventFlags flags;
        bool pastesSelection;
    };
    static const Desktop& desktop();
    // Replaces the desktop (tests); returns the one in use before.
    static Desktop setDesktop(Desktop desktop);

    enum class PasteResult {
        pasted,      // the paste chord went out
        copiedOnly,  // the text is on the clipboard; no way reaches the focused window to paste it
        notCopied,   // the clipboard did not take the text: nothing was pressed (a paste would
                     // insert what was there before)
    };
    // Puts the text on the clipboard (and on the primary selection when the focused window is a
    // terminal) and presses the focused window's paste chord right away. The clipboard keeps the
    // text.
    static PasteResult pasteAtCursor(const std::string& text);
    // Puts the text on the clipboard; false when the clipboard does not hold it afterwards.
    static bool copyToClipboard(const std::string& text);
    // Whether the user holds a key down now (a paste chord would then go out changed).
    static bool isAnyKeyDown();
    // The chord that pastes in a window of this class (WM_CLASS instance and class names).
    static PasteChord pasteChord(const std::vector<std::string>& windowClass);
    static bool isTerminal(const std::vector<std::string>& windowClass);
    static bool checkAccessibilityPermission();
    // The same check where the desktop may ask the user (this desktop never asks).
    static void requestAccessibilityPermission();

    // Key down, 10 ms, key up, with the modifiers held meanwhile. Blocks for those 10 ms.
    static void pressKey(std::uint16_t virtualKeyCode, platform::CGEventFlags flags);

    static constexpr std::uint16_t kVirtualKeyV = 9;
    static constexpr std::uint16_t kVirtualKeyReturn = 36;
    static constexpr std::uint16_t kVirtualKeyInsert = 114;  // the Help key's place on a Mac keyboard
    static constexpr PasteChord kControlV{kVirtualKeyV, platform::kCGEventFlagMaskControl, false};
    static constexpr PasteChord kShiftInsert{kVirtualKeyInsert, platform::kCGEventFlagMaskShift, true};
};

}  // namespace parloquin
