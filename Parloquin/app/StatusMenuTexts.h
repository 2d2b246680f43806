#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Parloquin/hotkeys/HotkeyRegistration.h"

namespace parloquin {

// The texts of the status menu and of the notifications the shell posts.
struct StatusMenuTexts {
    static constexpr std::size_t recentTranscriptionCount = 5;
    static constexpr std::size_t recentTranscriptionPrefix = 30;    // characters
    static constexpr std::size_t copiedNotificationPrefix = 100;    // characters

    // "Parloquin - " + text.
    static std::string statusLine(std::string_view text);
    // "Bereit", "1 Transkription", "<n> Transkriptionen" up to five, then "5 letzte (<n> gesamt)".
    static std::string recordCountStatus(std::size_t recordCount);
    // "Aufnahme starten (" + hotkey + ")".
    static std::string dictationItemTitle(std::string_view hotkey);
    // relative time + ": " + the first 30 characters of the text + "...".
    static std::string recentTranscriptionTitle(std::string_view relativeTime, std::string_view text);
    // The text when it has at most 100 characters, else its first 100 and "...".
    static std::string copiedNotificationBody(std::string_view text);

    // The ready notification names the shortcut that really works and what the models take on disk.
    // With the portal the label is the trigger the desktop bound, where it says one.
    static std::string readyNotificationBody(std::string_view hotkey, HotkeyRegistration registration,
                                             std::uint64_t modelBytes);
};

}  // namespace parloquin
