// What the history page lists and says, without widgets: search and language filter, counts,
// placeholders and the question before clearing.
#include "Parloquin/views/HistoryListing.h"

#include <gtest/gtest.h>

#include "Parloquin/services/HistoryManager.h"
#include "tests/Parloquin/services/StoreFixtures.h"

namespace parloquin {
namespace {

std::vector<std::string> texts(const std::vector<TranscriptionRecord>& records) {
    std::vector<std::string> result;
    for (const auto& record : records) result.push_back(record.text);
    return result;
}

TranscriptionRecord record(std::string text, std::optional<std::string> language) {
    TranscriptionRecord r;
    r.text = std::move(text);
    r.language = std::move(language);
    return r;
}

TEST(HistoryListingTest, SearchAndLanguageFilterNarrowTheStoredOrder) {
    storetest::Store store;
    HistoryManager history(store.defaults());
    history.setRecords({record("Guten Morgen", "de"), record("Good morning", "en"), record("morgen früh", std::nullopt),
                        record("Abend", "de"), record("Morgenrot", "en")});
    struct Case {
        std::string search;
        std::optional<std::string> filter;
        std::vector<std::string> shown;
    };
    const std::vector<Case> cases = {
        {"", std::nullopt, {"Guten Morgen", "Good morning", "morgen früh", "Abend", "Morgenrot"}},
        {"MORGEN", std::nullopt, {"Guten Morgen", "morgen früh", "Morgenrot"}},
        {" ", std::nullopt, {"Guten Morgen", "Good morning", "morgen früh"}},  // a blank is a search too
        {"", "de", {"Guten Morgen", "Abend"}},
        {"morgen", "de", {"Guten Morgen"}},  // a record without language drops out of any filter
        {"", "DE", {}},                      // the filter is the stored code, exactly
        {"xyz", std::nullopt, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(texts(HistoryListing::filteredRecords(history, c.search, c.filter)), c.shown)
            << '"' << c.search << "\" " << c.filter.value_or("-");
}

TEST(HistoryListingTest, TheLanguagesOfAllRecordsEachOnceInOrder) {
    EXPECT_EQ(HistoryListing::availableLanguages(
                  {record("a", "en"), record("b", "de"), record("c", std::nullopt), record("d", "en")}),
              (std::vector<std::string>{"de", "en"}));
    EXPECT_TRUE(HistoryListing::availableLanguages({record("a", std::nullopt)}).empty());
    EXPECT_EQ(HistoryListing::filterLabel(std::nullopt), "Filter");
    EXPECT_EQ(HistoryListing::filterLabel("de"), "DE");
}

TEST(HistoryListingTest, CountsAndWhichContentShows) {
    EXPECT_EQ(HistoryListing::countText(0), "0 Aufnahmen");
    EXPECT_EQ(HistoryListing::countText(1), "1 Aufnahme");
    EXPECT_EQ(HistoryListing::countText(2), "2 Aufnahmen");
    EXPECT_EQ(HistoryListing::filteredFromText(2, 5), "(gefiltert von 5)");
    EXPECT_EQ(HistoryListing::filteredFromText(5, 5), std::nullopt);

    using Content = HistoryListing::Content;
    struct Case {
        bool loading;
        std::size_t total, filtered;
        Content content;
    };
    const std::vector<Case> cases = {
        {true, 0, 0, Content::loading}, {false, 0, 0, Content::empty},   {true, 3, 3, Content::list},
        {false, 3, 1, Content::list},   {false, 3, 0, Content::noResults}, {true, 3, 0, Content::noResults},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HistoryListing::content(c.loading, c.total, c.filtered), c.content)
            << c.loading << ' ' << c.total << ' ' << c.filtered;
}

TEST(HistoryListingTest, TextsNameTheHotkeyTheSearchAndEveryRecord) {
    EXPECT_EQ(HistoryListing::emptyMessage("⌃⌥D"),
              "Dein Transkriptionsverlauf erscheint hier. Starte eine Aufnahme mit Strg+Alt+D für deine erste Transkription.");
    EXPECT_EQ(HistoryListing::noResultsMessage("Termin"), "Keine Transkriptionen gefunden für \"Termin\"");
    EXPECT_EQ(HistoryListing::noResultsMessage(""), "Keine Transkriptionen gefunden für \"\"");
    const Alert alert = HistoryListing::clearConfirmation(20);
    EXPECT_EQ(alert.messageText, "Gesamten Verlauf löschen");
    EXPECT_EQ(alert.informativeText,
              "Bist du sicher, dass du alle 20 Transkription(en) löschen möchtest? Dies kann nicht rückgängig gemacht "
              "werden.");
    EXPECT_EQ(alert.buttons, (std::vector<std::string>{"Alles löschen", "Abbrechen"}));
    EXPECT_TRUE(alert.destructive);
}

}  // namespace
}  // namespace parloquin
