#include "Parloquin/views/HistoryView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <set>

#include "Parloquin/services/HistoryManager.h"
#include "Parloquin/services/PasteHelper.h"
#include "Parloquin/settings/SettingsKeys.h"
#include "Parloquin/settings/SettingsTable.h"
#include "Parloquin/views/HistoryDetailView.h"
#include "Parloquin/views/HistoryExportView.h"
#include "Parloquin/views/HistoryRowView.h"
#include "Parloquin/views/LoadingPlaceholderView.h"
#include "Parloquin/views/MessagePlaceholderView.h"
#include "Parloquin/views/PageDivider.h"
#include "Parloquin/views/PageHeaderView.h"
#include "Parloquin/views/PageLayout.h"
#include "Parloquin/views/PlainButton.h"
#include "Parloquin/views/PrivacyBannerView.h"
#include "Parloquin/views/RoundedPanel.h"
#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/SettingBinding.h"
#include "Parloquin/views/SymbolIcon.h"
#include "Parloquin/views/SymbolView.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"
#include "Parloquin/views/TranscriptSaver.h"

namespace parloquin {
namespace {

using Value = platform::UserDefaults::Value;
using Content = HistoryListing::Content;

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

QString rgba(const QColor& color) {
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alphaF(), 0, 'f', 2);
}

}  // namespace

HistoryView::HistoryView(HistoryManager& history, const PageContext& context, QWidget* parent)
    : QWidget(parent),
      history_(history),
      context_(context),
      localeIdentifier_(QLocale().name().toStdString()) {
    setObjectName(QStringLiteral("HistoryView"));
    if (!context_.files) context_.files = FileChooser::system();
    clock_ = context_.clock ? context_.clock : platform::Clock::system();
    relativeTimeTimer_ = new QTimer(this);
    relativeTimeTimer_->setInterval(relativeTimeRefreshMilliseconds);
    connect(relativeTimeTimer_, &QTimer::timeout, this, [this] { refreshRelativeTimes(); });
    saver_ = std::make_shared<TranscriptSaver>(context_.files, context_.alerts, localeIdentifier_);
    platform::UserDefaults& defaults = context_.defaults ? *context_.defaults : platform::UserDefaults::standard();
    privacyMode_ = new SettingBinding(defaults, settings::kPrivacyModeEnabled,
                                      SettingsTable::defaultValue(settings::kPrivacyModeEnabled), this);
    hotkey_ = new SettingBinding(defaults, settings::kPrimaryHotkey,
                                 SettingsTable::defaultValue(settings::kPrimaryHotkey), this);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    auto* header = new QWidget(this);
    auto* headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(PageLayout::padding, PageLayout::padding, PageLayout::padding, PageLayout::padding);
    headerLayout->setSpacing(16);
    headerLayout->addWidget(
        new PageHeaderView(text(HistoryListing::title), text(HistoryListing::subtitle), header));
    privacyBanner_ = new PrivacyBannerView(text(HistoryListing::privacyNote), privacyMode_, header);
    headerLayout->addWidget(privacyBanner_);
    headerLayout->addWidget(makeSearchRow(header));
    headerLayout->addWidget(makeCountRow(header));
    page->addWidget(header);
    page->addWidget(PageDivider::make(this));
    page->addWidget(makeContent(this), 1);

    connect(&history_, &HistoryManager::recordsChanged, this, [this] { recordsChanged(); });
    connect(hotkey_, &SettingBinding::changed, this, [this] {
        emptyView_->setMessage(text(HistoryListing::emptyMessage(hotkey_->stringValue().toStdString())));
    });
    showFilter();
    recordsChanged();
}

HistoryView::~HistoryView() = default;

void HistoryView::refreshRelativeTimes() {
    const platform::Date now = clock_->now();
    for (HistoryRowView* row : ordered_) row->showRelativeTime(now);
}

void HistoryView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refreshRelativeTimes();
    relativeTimeTimer_->start();
}

void HistoryView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    relativeTimeTimer_->stop();
}

QWidget* HistoryView::makeSearchRow(QWidget* parent) {
    const ThemeColors& colors = ThemeColors::shared();
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);

    auto* field = new RoundedPanel(ThemeColors::withAlpha(colors.secondary, 0.1), 8, row);
    auto* fieldLayout = new QHBoxLayout(field);
    fieldLayout->setContentsMargins(8, 8, 8, 8);
    fieldLayout->setSpacing(8);
    const int symbolSize = QFontMetrics(TextStyle::body()).height();
    auto* magnifier = new SymbolView("magnifyingglass", symbolSize, colors.secondary, field);
    magnifier->setAccessibleName(QStringLiteral("Suche"));
    fieldLayout->addWidget(magnifier);
    searchField_ = new QLineEdit(field);
    searchField_->setPlaceholderText(text(HistoryListing::searchPrompt));
    searchField_->setAccessibleName(text(HistoryListing::searchPrompt));
    searchField_->setFrame(false);
    searchField_->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    connect(searchField_, &QLineEdit::textChanged, this,
            [this](const QString& typed) { setSearchText(typed.toStdString()); });
    fieldLayout->addWidget(searchField_, 1);
    clearSearch_ = new PlainButton(QString(), colors.secondary, TextStyle::body(), "xmark.circle.fill", field);
    clearSearch_->setAccessibleName(QString::fromUtf8("Suche löschen"));
    connect(clearSearch_, &QPushButton::clicked, this, [this] { setSearchText({}); });
    clearSearch_->hide();
    fieldLayout->addWidget(clearSearch_);
    layout->addWidget(field, 1);

    filterButton_ = new QToolButton(row);
    filterButton_->setObjectName(QStringLiteral("LanguageFilter"));
    filterButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    filterButton_->setPopupMode(QToolButton::InstantPopup);
    filterButton_->setCursor(Qt::PointingHandCursor);
    filterButton_->setMenu(new QMenu(filterButton_));
    layout->addWidget(filterButton_);
    return row;
}

QWidget* HistoryView::makeCountRow(QWidget* parent) {
    const ThemeColors& colors = ThemeColors::shared();
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);
    countLabel_ = SecondaryText::label(QString(), TextStyle::caption(), row);
    countLabel_->setWordWrap(false);
    layout->addWidget(countLabel_);
    filteredFrom_ = SecondaryText::label(QString(), TextStyle::caption(), row);
    filteredFrom_->setWordWrap(false);
    layout->addWidget(filteredFrom_);
    layout->addStretch(1);
    exportButton_ = new PlainButton(QStringLiteral("Exportieren"), colors.blue, TextStyle::caption(), {}, row);
    connect(exportButton_, &QPushButton::clicked, this, [this] { showExportOptions(); });
    layout->addWidget(exportButton_);
    clearAllButton_ = new PlainButton(QString::fromUtf8("Alles löschen"), colors.red, TextStyle::caption(), {}, row);
    connect(clearAllButton_, &QPushButton::clicked, this, [this] { confirmClearAll(); });
    layout->addWidget(clearAllButton_);
    return row;
}

QWidget* HistoryView::makeContent(QWidget* parent) {
    stack_ = new QStackedWidget(parent);
    loadingView_ = LoadingPlaceholderView::history(stack_);
    stack_->addWidget(loadingView_);

    auto* scroll = listScroll_ = new QScrollArea(stack_);
    scroll->setObjectName(QStringLiteral("HistoryList"));
    listLayout_ = PageLayout::scrollingPage(scroll, QStringLiteral("HistoryListContent"), 12);
    listView_ = listLayout_->parentWidget();
    listLayout_->addStretch(1);
    stack_->addWidget(scroll);

    emptyView_ = MessagePlaceholderView::emptyHistory(hotkey_->stringValue().toStdString(), stack_);
    stack_->addWidget(emptyView_);
    noResultsView_ = MessagePlaceholderView::noResults({}, stack_);
    stack_->addWidget(noResultsView_);
    return stack_;
}

HistoryRowView* HistoryView::makeRow(const TranscriptionRecord& record) {
    HistoryRowView::Actions actions;
    actions.onTap = [this, record] { showDetail(record); };
    actions.onCopy = [text = record.text] { PasteHelper::copyToClipboard(text); };
    actions.onDelete = [this, record] { deleteRecord(record); };
    // The row, and this closure with it, may be destroyed while the save dialog is open (the store
    // changed under it): the save works on its own copy of the record and keeps the saver alive.
    actions.onExport = [this, record](TranscriptExportFormat format) {
        const TranscriptionRecord saved = record;
        const std::shared_ptr<TranscriptSaver> saver = saver_;
        saver->save(saved, format);
    };
    return new HistoryRowView(record, std::move(actions), clock_->now(), localeIdentifier_, listView_);
}

// The rows follow the store: records that went lose their row, new ones get one, and the list
// takes the store's order. A record never changes once stored, so a kept row stays as it is.
void HistoryView::recordsChanged() {
    const auto& records = history_.records();
    std::map<platform::UUID, HistoryRowView*> kept;
    ordered_.clear();
    for (const auto& record : records) {
        if (kept.contains(record.id)) continue;
        HistoryRowView* row = nullptr;
        if (const auto it = rows_.find(record.id); it != rows_.end()) {
            row = it->second;
            rows_.erase(it);
        } else {
            row = makeRow(record);
        }
        kept[record.id] = row;
        ordered_.push_back(row);
    }
    // A row whose button is being clicked may be among these: it goes once that click is done.
    for (auto& [id, row] : rows_) {
        listLayout_->removeWidget(row);
        row->hide();
        row->deleteLater();
    }
    rows_ = std::move(kept);
    for (std::size_t i = 0; i < ordered_.size(); ++i) listLayout_->insertWidget(int(i), ordered_[i]);
    rebuildFilterMenu();
    refresh();
}

void HistoryView::rebuildFilterMenu() {
    std::vector<std::string> languages = HistoryListing::availableLanguages(history_.records());
    if (languages != languages_ || filterButton_->menu()->isEmpty()) {
        languages_ = std::move(languages);
        QMenu* menu = filterButton_->menu();
        menu->clear();
        connect(menu->addAction(QStringLiteral("Alle Sprachen")), &QAction::triggered, this,
                [this] { setLanguageFilter(std::nullopt); });
        menu->addSeparator();
        for (const auto& language : languages_)
            connect(menu->addAction(text(HistoryListing::displayLanguage(language))), &QAction::triggered, this,
                    [this, language] { setLanguageFilter(language); });
    }
    filterButton_->setVisible(!languages_.empty());
}

void HistoryView::setSearchText(const std::string& typed) {
    if (typed == searchText_) return;
    searchText_ = typed;
    if (searchField_->text().toStdString() != typed) searchField_->setText(text(typed));
    refresh();
}

void HistoryView::setLanguageFilter(std::optional<std::string> language) {
    languageFilter_ = std::move(language);
    showFilter();
    refresh();
}

void HistoryView::showFilter() {
    const ThemeColors& colors = ThemeColors::shared();
    const bool filtering = languageFilter_.has_value();
    const QColor foreground = filtering ? colors.blue : colors.primary;
    filterButton_->setText(text(HistoryListing::filterLabel(languageFilter_)));
    const int size = filterButton_->fontMetrics().height();
    filterButton_->setIcon(QIcon(SymbolIcon::pixmap("line.3.horizontal.decrease.circle", size, foreground,
                                                    filterButton_->devicePixelRatioF())));
    filterButton_->setStyleSheet(
        QStringLiteral("QToolButton { background: %1; color: %2; border: none; border-radius: 8px; "
                       "padding: 8px 12px; } QToolButton::menu-indicator { image: none; width: 0px; }")
            .arg(rgba(filtering ? ThemeColors::withAlpha(colors.blue, 0.2) : ThemeColors::withAlpha(colors.secondary, 0.1)),
                 foreground.name()));

}

void HistoryView::refresh() {
    const std::vector<TranscriptionRecord> filtered =
        HistoryListing::filteredRecords(history_, searchText_, languageFilter_);
    std::set<platform::UUID> shown;
    for (const auto& record : filtered) shown.insert(record.id);
    for (HistoryRowView* row : ordered_) row->setVisible(shown.contains(row->record().id));

    const std::size_t total = history_.records().size();
    countLabel_->setText(text(HistoryListing::countText(filtered.size())));
    const auto filteredFrom = HistoryListing::filteredFromText(filtered.size(), total);
    filteredFrom_->setVisible(filteredFrom.has_value());
    if (filteredFrom) filteredFrom_->setText(text(*filteredFrom));
    clearSearch_->setVisible(!searchText_.empty());

    content_ = HistoryListing::content(isLoading_, total, filtered.size());
    switch (content_) {
        case Content::loading:
            stack_->setCurrentWidget(loadingView_);
            if (!loadingScheduled_) {
                loadingScheduled_ = true;
                QTimer::singleShot(loadingDelayMilliseconds, this, [this] { finishLoading(); });
            }
            break;
        case Content::list: stack_->setCurrentWidget(listScroll_); break;
        case Content::empty: stack_->setCurrentWidget(emptyView_); break;
        case Content::noResults:
            noResultsView_->setMessage(text(HistoryListing::noResultsMessage(searchText_)));
            stack_->setCurrentWidget(noResultsView_);
            break;
    }
}

void HistoryView::finishLoading() {
    isLoading_ = false;
    refresh();
}

std::vector<HistoryRowView*> HistoryView::visibleRows() const {
    std::vector<HistoryRowView*> visible;
    for (HistoryRowView* row : ordered_)
        if (row->isVisibleTo(listView_)) visible.push_back(row);
    return visible;
}

void HistoryView::showDetail(const TranscriptionRecord& record) {
    selectedRecord_ = record;
    if (detailSheet_) detailSheet_->close();
    detailSheet_ = new HistoryDetailView(
        record, [text = record.text] { PasteHelper::copyToClipboard(text); }, localeIdentifier_, this);
    detailSheet_->open();
}

void HistoryView::deleteRecord(const TranscriptionRecord& record) { history_.deleteRecord(record.id); }

void HistoryView::showExportOptions() {
    if (exportSheet_) exportSheet_->close();
    exportSheet_ = new HistoryExportView(history_, context_.files, this);
    exportSheet_->open();
}

void HistoryView::confirmClearAll() {
    if (!context_.alerts) return;
    QPointer<HistoryView> alive(this);
    const int response = context_.alerts->runModal(HistoryListing::clearConfirmation(history_.records().size()));
    if (!alive || response != alertFirstButtonReturn) return;
    clearAllHistory();
}

void HistoryView::clearAllHistory() {
    history_.setRecords({});
    history_.saveHistory();
}

}  // namespace parloquin
