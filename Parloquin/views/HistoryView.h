#pragma once

#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Parloquin/services/TranscriptionRecord.h"
#include "Parloquin/views/HistoryDetailView.h"
#include "Parloquin/views/HistoryExportView.h"
#include "Parloquin/views/HistoryListing.h"
#include "Parloquin/views/PageContext.h"

class QLabel;
class QLineEdit;
class QScrollArea;
class QStackedWidget;
class QTimer;
class QToolButton;
class QVBoxLayout;

namespace parloquin {

class HistoryRowView;
class LoadingPlaceholderView;
class MessagePlaceholderView;
class PlainButton;
class PrivacyBannerView;
class SettingBinding;
class TranscriptSaver;

// The page "Verlauf": the stored transcriptions, newest first, with a search field and a language
// filter; a row opens the detail sheet, and copies, saves or deletes its transcript; the whole
// history can be exported or, after a question, cleared. The page follows the store live and
// stores nothing itself.
class HistoryView : public QWidget {
public:
    static constexpr int loadingDelayMilliseconds = 500;

    HistoryView(HistoryManager& history, const PageContext& context, QWidget* parent = nullptr);
    ~HistoryView() override;

    bool isLoading() const { return isLoading_; }
    const std::string& searchText() const { return searchText_; }
    void setSearchText(const std::string& text);
    const std::optional<std::string>& languageFilter() const { return languageFilter_; }
    void setLanguageFilter(std::optional<std::string> language);
    const std::optional<TranscriptionRecord>& selectedRecord() const { return selectedRecord_; }
    HistoryListing::Content content() const { return content_; }

    // What the rows' actions and the header's buttons do.
    void showDetail(const TranscriptionRecord& record);
    void deleteRecord(const TranscriptionRecord& record);
    void showExportOptions();
    // Asks first; only "Alles löschen" clears.
    void confirmClearAll();
    void clearAllHistory();
    void finishLoading();
    // The rows' relative times said anew from the page's clock; the page does it every
    // relativeTimeRefreshMilliseconds while it is shown, and as it is shown again.
    void refreshRelativeTimes();
    static constexpr int relativeTimeRefreshMilliseconds = 15'000;
    const QTimer* relativeTimeTimer() const { return relativeTimeTimer_; }

    // The rows the list shows now, in order.
    std::vector<HistoryRowView*> visibleRows() const;
    QLineEdit* searchField() const { return searchField_; }
    PlainButton* clearSearchButton() const { return clearSearch_; }
    QToolButton* filterButton() const { return filterButton_; }
    QLabel* countLabel() const { return countLabel_; }
    QLabel* filteredFromLabel() const { return filteredFrom_; }
    PlainButton* exportButton() const { return exportButton_; }
    PlainButton* clearAllButton() const { return clearAllButton_; }
    PrivacyBannerView* privacyBanner() const { return privacyBanner_; }
    MessagePlaceholderView* emptyView() const { return emptyView_; }
    MessagePlaceholderView* noResultsView() const { return noResultsView_; }
    HistoryDetailView* detailSheet() const { return detailSheet_; }
    HistoryExportView* exportSheet() const { return exportSheet_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* makeSearchRow(QWidget* parent);
    QWidget* makeCountRow(QWidget* parent);
    QWidget* makeContent(QWidget* parent);
    void recordsChanged();
    void rebuildFilterMenu();
    void refresh();
    void showFilter();
    HistoryRowView* makeRow(const TranscriptionRecord& record);

    HistoryManager& history_;
    PageContext context_;
    std::string localeIdentifier_;
    std::shared_ptr<TranscriptSaver> saver_;
    std::shared_ptr<const platform::Clock> clock_;
    QTimer* relativeTimeTimer_ = nullptr;
    SettingBinding* privacyMode_;
    SettingBinding* hotkey_;

    bool isLoading_ = true;
    bool loadingScheduled_ = false;
    std::string searchText_;
    std::optional<std::string> languageFilter_;
    std::optional<TranscriptionRecord> selectedRecord_;
    HistoryListing::Content content_ = HistoryListing::Content::loading;
    std::vector<std::string> languages_;

    std::map<platform::UUID, HistoryRowView*> rows_;
    std::vector<HistoryRowView*> ordered_;
    PrivacyBannerView* privacyBanner_ = nullptr;
    QLineEdit* searchField_ = nullptr;
    PlainButton* clearSearch_ = nullptr;
    QToolButton* filterButton_ = nullptr;
    QLabel* countLabel_ = nullptr;
    QLabel* filteredFrom_ = nullptr;
    PlainButton* exportButton_ = nullptr;
    PlainButton* clearAllButton_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    LoadingPlaceholderView* loadingView_ = nullptr;
    QScrollArea* listScroll_ = nullptr;
    QWidget* listView_ = nullptr;
    QVBoxLayout* listLayout_ = nullptr;
    MessagePlaceholderView* emptyView_ = nullptr;
    MessagePlaceholderView* noResultsView_ = nullptr;
    QPointer<HistoryDetailView> detailSheet_;
    QPointer<HistoryExportView> exportSheet_;
};

}  // namespace parloquin
