#pragma once

namespace parloquin {

// What the global hotkey turned out to be once the manager has registered it.
enum class HotkeyRegistration {
    combination,   // the chosen key combination
    singleKeyTap,  // the chosen lone modifier, watched on the event tap
    fallback,      // the fallback combination stands in while a permission is missing
    none,          // nothing could be registered
};

}  // namespace parloquin
