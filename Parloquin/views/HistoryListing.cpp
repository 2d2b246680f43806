#include "Parloquin/views/HistoryListing.h"

#include <QString>
#include <algorithm>

#include "Parloquin/hotkeys/KeyNames.h"
#include "Parloquin/services/HistoryManager.h"

namespace parloquin {

std::vector<TranscriptionRecord> HistoryListing::filteredRecords(const HistoryManager& history,
                                                                 const std::string& searchText,
                                                                 const std::optional<std::string>& languageFilter) {
    std::vector<TranscriptionRecord> records =
        searchText.empty() ? history.records() : history.searchRecords(searchText);
    if (languageFilter) {
        std::erase_if(records, [&](const TranscriptionRecord& record) { return record.language != languageFilter; });
    }
    return records;
}

std::vector<std::string> HistoryListing::availableLanguages(const std::vector<TranscriptionRecord>& records) {
    std::vector<std::string> languages;
    for (const auto& record : records)
        if (record.language) languages.push_back(*record.language);
    std::sort(languages.begin(), languages.end());
    languages.erase(std::unique(languages.begin(), languages.end()), languages.end());
    return languages;
}

HistoryListing::Content HistoryListing::content(bool isLoading, std::size_t total, std::size_t filtered) {
    if (isLoading && total == 0) return Content::loading;
    if (filtered > 0) return Content::list;
    if (total == 0) return Content::empty;
    return Content::noResults;
}

std::string HistoryListing::countText(std::size_t filtered) {
    return std::to_string(filtered) + (filtered == 1 ? " Aufnahme" : " Aufnahmen");
}

std::optional<std::string> HistoryListing::filteredFromText(std::size_t filtered, std::size_t total) {
    if (filtered == total) return std::nullopt;
    return "(gefiltert von " + std::to_string(total) + ")";
}

std::string HistoryListing::displayLanguage(const std::string& language) {
    return QString::fromStdString(language).toUpper().toStdString();
}

std::string HistoryListing::filterLabel(const std::optional<std::string>& languageFilter) {
    return languageFilter ? displayLanguage(*languageFilter) : "Filter";
}

std::string HistoryListing::emptyMessage(const std::string& hotkey) {
    return "Dein Transkriptionsverlauf erscheint hier. Starte eine Aufnahme mit " + hotkeyLabel(hotkey) +
           " für deine erste Transkription.";
}

std::string HistoryListing::noResultsMessage(const std::string& searchText) {
    return "Keine Transkriptionen gefunden für \"" + searchText + "\"";
}

Alert HistoryListing::clearConfirmation(std::size_t total) {
    Alert alert;
    alert.style = AlertStyle::warning;
    alert.messageText = "Gesamten Verlauf löschen";
    alert.informativeText = "Bist du sicher, dass du alle " + std::to_string(total) +
                            " Transkription(en) löschen möchtest? Dies kann nicht rückgängig gemacht werden.";
    alert.buttons = {"Alles löschen", "Abbrechen"};
    alert.destructive = true;
    return alert;
}

}  // namespace parloquin
