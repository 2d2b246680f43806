#pragma once

#include <string_view>

namespace parloquin {

// The pages of the main window, in sidebar order.
enum class SidebarSection { general, file, hotkeys, audio, statistics, history, other };

// The page's German title.
constexpr std::string_view rawValue(SidebarSection section) {
    switch (section) {
        case SidebarSection::general: return "Allgemein";
        case SidebarSection::file: return "Datei";
        case SidebarSection::hotkeys: return "Tastenkürzel";
        case SidebarSection::audio: return "Audio";
        case SidebarSection::statistics: return "Statistiken";
        case SidebarSection::history: return "Verlauf";
        case SidebarSection::other: return "Sonstiges";
    }
    return {};
}

}  // namespace parloquin
