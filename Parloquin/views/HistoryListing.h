#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "Parloquin/services/AlertPresenter.h"
#include "Parloquin/services/TranscriptionRecord.h"

namespace parloquin {

class HistoryManager;

// What the page "Verlauf" shows of the stored transcriptions, without its widgets: which records
// the search and the language filter leave, the counts, the placeholders and the confirmation.
struct HistoryListing {
    static constexpr const char* title = "VERLAUF";
    static constexpr const char* subtitle = "Transkriptionsverlauf und Zwischenablage";
    static constexpr const char* privacyNote = "Neue Transkriptionen werden nicht im Verlauf gespeichert";
    static constexpr const char* searchPrompt = "Transkriptionen suchen...";

    // Which of the four the page shows below its header.
    enum class Content { loading, list, empty, noResults };

    // The store's records that contain the search text (any text of at least one character,
    // blanks too) and, with a filter, whose language is exactly the filter; in stored order.
    static std::vector<TranscriptionRecord> filteredRecords(const HistoryManager& history,
                                                            const std::string& searchText,
                                                            const std::optional<std::string>& languageFilter);
    // The languages of all records, each once, in ascending order.
    static std::vector<std::string> availableLanguages(const std::vector<TranscriptionRecord>& records);
    static Content content(bool isLoading, std::size_t total, std::size_t filtered);

    // "1 Aufnahme", "0 Aufnahmen", "2 Aufnahmen".
    static std::string countText(std::size_t filtered);
    // "(gefiltert von 5)" while search or filter leave out records; nothing otherwise.
    static std::optional<std::string> filteredFromText(std::size_t filtered, std::size_t total);
    // The filter's label: the language in capitals, or "Filter".
    static std::string filterLabel(const std::optional<std::string>& languageFilter);
    // The language in capitals as the menu and the badges show it ("de" → "DE").
    static std::string displayLanguage(const std::string& language);

    // The empty history names the hotkey the user has set.
    static std::string emptyMessage(const std::string& hotkey);
    static std::string noResultsMessage(const std::string& searchText);
    // Asks before all records (not only those shown) go; "Alles löschen" is its first button.
    static Alert clearConfirmation(std::size_t total);
};

}  // namespace parloquin
