#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace parloquin {

// The pages of the main window, in sidebar order.
enum class SidebarSection { general, file, hotkeys, audio, statistics, history, other };

inline constexpr std::array<SidebarSection, 7> allSidebarSections = {
    SidebarSection::general,    SidebarSection::file,    SidebarSection::hotkeys, SidebarSection::audio,
    SidebarSection::statistics, SidebarSection::history, SidebarSection::other,
};

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

// The section with this very title (case and all); none for any other text.
constexpr std::optional<SidebarSection> sidebarSection(std::string_view title) {
    for (SidebarSection section : allSidebarSections)
        if (rawValue(section) == title) return section;
    return std::nullopt;
}

// The symbol drawn beside the title (see SymbolIcon).
constexpr std::string_view iconName(SidebarSection section) {
    switch (section) {
        case SidebarSection::general: return "gearshape.fill";
        case SidebarSection::file: return "doc.badge.plus";
        case SidebarSection::hotkeys: return "keyboard.fill";
        case SidebarSection::audio: return "mic.fill";
        case SidebarSection::statistics: return "chart.bar.fill";
        case SidebarSection::history: return "clock.fill";
        case SidebarSection::other: return "info.circle.fill";
    }
    return {};
}

constexpr std::string_view subtitle(SidebarSection section) {
    switch (section) {
        case SidebarSection::general: return "Standardwerte, Analysen";
        case SidebarSection::file: return "Audiodatei importieren und transkribieren";
        case SidebarSection::hotkeys: return "Aufnahme-Tastenkürzel und Aufnahmeverhalten";
        case SidebarSection::audio: return "Eingabegerät und Mikrofon-Test";
        case SidebarSection::statistics: return "Nutzungsstatistiken und Produktivitätsmetriken";
        case SidebarSection::history: return "Transkriptionsverlauf und Zwischenablage";
        case SidebarSection::other: return "Datenschutz, Lizenzen und Bedingungen";
    }
    return {};
}

// Whether the value names one of the sections (a value cast from elsewhere may not).
constexpr bool isSidebarSection(SidebarSection section) { return !rawValue(section).empty(); }

}  // namespace parloquin
