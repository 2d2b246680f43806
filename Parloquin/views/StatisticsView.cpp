#include "Parloquin/views/StatisticsView.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include "Parloquin/services/StatisticsManager.h"
#include "Parloquin/settings/SettingsKeys.h"
#include "Parloquin/settings/SettingsTable.h"
#include "Parloquin/views/DestructiveButtonStyle.h"
#include "Parloquin/views/ExportOptionsView.h"
#include "Parloquin/views/LanguageBarView.h"
#include "Parloquin/views/LoadingPlaceholderView.h"
#include "Parloquin/views/MessagePlaceholderView.h"
#include "Parloquin/views/MetricCardView.h"
#include "Parloquin/views/PageDivider.h"
#include "Parloquin/views/PageHeaderView.h"
#include "Parloquin/views/PageLayout.h"
#include "Parloquin/views/PrimaryButtonStyle.h"
#include "Parloquin/views/PrivacyBannerView.h"
#include "Parloquin/views/RoundedPanel.h"
#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/SettingBinding.h"
#include "Parloquin/views/StyledButton.h"
#include "Parloquin/views/SymbolRow.h"
#include "Parloquin/views/SymbolView.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {
namespace {

using Content = StatisticsFigures::Content;

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

// A section of the page, its parts 16 apart under its title.
QVBoxLayout* section(const char* title, QWidget* parent, QVBoxLayout* into) {
    QWidget* section = PageLayout::section(title, nullptr, 16, parent);
    into->addWidget(section);
    return static_cast<QVBoxLayout*>(section->layout());
}

QWidget* grid(const std::vector<MetricCard>& cards, QWidget* parent) {
    auto* widget = new QWidget(parent);
    auto* layout = new QGridLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(1, 1);
    for (std::size_t i = 0; i < cards.size(); ++i)
        layout->addWidget(new MetricCardView(cards[i], widget), int(i / 2), int(i % 2));
    return widget;
}

QWidget* timeSavedBox(const SessionStatistics& statistics, QWidget* parent) {
    const ThemeColors& colors = ThemeColors::shared();
    auto* box = new RoundedPanel(QColor(), 12, parent);
    box->setObjectName(QStringLiteral("TimeSaved"));
    box->setGradient(ThemeColors::withAlpha(colors.yellow, 0.1), ThemeColors::withAlpha(colors.orange, 0.1));
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(8);
    auto* heading = new QHBoxLayout;
    heading->addWidget(new SymbolView("bolt.fill", 24, colors.yellow, box));
    heading->addWidget(
        SecondaryText::label(QStringLiteral("ZEITERSPARNIS vs TIPPEN"), TextStyle::caption(), box), 1);
    column->addLayout(heading);
    auto* value = new QLabel(text(StatisticsFigures::timeSavedText(statistics)), box);
    value->setObjectName(QStringLiteral("TimeSavedValue"));
    value->setFont(TextStyle::sized(48, QFont::Bold));
    column->addWidget(value);
    if (const auto gain = StatisticsFigures::productivityGainText(statistics)) {
        auto* row = new SymbolRow("arrow.up.right", colors.green, text(*gain), TextStyle::caption(), colors.green, box,
                                  SymbolRow::figure(QFontMetrics(TextStyle::caption()).height()));
        row->textLabel()->setObjectName(QStringLiteral("ProductivityGain"));
        column->addWidget(row, 0, Qt::AlignLeft);
    }
    return box;
}

}  // namespace

StatisticsView::StatisticsView(StatisticsManager& statistics, const PageContext& context, QWidget* parent)
    : QScrollArea(parent), statistics_(statistics), context_(context) {
    setObjectName(QStringLiteral("StatisticsView"));
    if (!context_.files) context_.files = FileChooser::system();
    platform::UserDefaults& defaults = context_.defaults ? *context_.defaults : platform::UserDefaults::standard();
    privacyMode_ = new SettingBinding(defaults, settings::kPrivacyModeEnabled,
                                      SettingsTable::defaultValue(settings::kPrivacyModeEnabled), this);

    page_ = PageLayout::scrollingPage(this, QStringLiteral("StatisticsContent"), PageLayout::padding);
    QWidget* content = page_->parentWidget();
    page_->addWidget(
        new PageHeaderView(text(StatisticsFigures::title), text(StatisticsFigures::subtitle), content));
    privacyBanner_ = new PrivacyBannerView(text(StatisticsFigures::privacyNote), privacyMode_, content);
    page_->addWidget(privacyBanner_);
    page_->addStretch(1);

    connect(&statistics_, &StatisticsManager::statisticsChanged, this, [this] { rebuild(); });
    rebuild();
}

void StatisticsView::rebuild() {
    const SessionStatistics& statistics = statistics_.statistics();
    QWidget* parent = widget();
    if (contentView_) {
        page_->removeWidget(contentView_);
        contentView_->hide();
        contentView_->deleteLater();
        exportButton_ = resetButton_ = nullptr;
    }
    content_ = StatisticsFigures::content(isLoading_, statistics);
    switch (content_) {
        case Content::loading:
            contentView_ = LoadingPlaceholderView::statistics(parent);
            if (!loadingScheduled_) {
                loadingScheduled_ = true;
                QTimer::singleShot(loadingDelayMilliseconds, this, [this] { finishLoading(); });
            }
            break;
        case Content::empty: contentView_ = MessagePlaceholderView::emptyStatistics(parent); break;
        case Content::full: contentView_ = makeSections(parent); break;
    }
    page_->insertWidget(2, contentView_);
}

QWidget* StatisticsView::makeSections(QWidget* parent) {
    const SessionStatistics& statistics = statistics_.statistics();
    auto* sections = new QWidget(parent);
    sections->setObjectName(QStringLiteral("StatisticsSections"));
    auto* column = new QVBoxLayout(sections);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(32);

    section("NUTZUNGSMETRIKEN", sections, column)->addWidget(grid(StatisticsFigures::usageCards(statistics), sections));
    column->addWidget(PageDivider::make(sections));
    QVBoxLayout* productivity = section("PRODUKTIVITÄT", sections, column);
    productivity->addWidget(timeSavedBox(statistics, sections));
    productivity->addWidget(grid(StatisticsFigures::speedCards(statistics, statistics_.daysSinceFirstUse()), sections));
    column->addWidget(PageDivider::make(sections));
    section("LEISTUNG", sections, column)->addWidget(grid(StatisticsFigures::performanceCards(statistics), sections));
    column->addWidget(PageDivider::make(sections));
    const std::vector<LanguageBar> bars = StatisticsFigures::languageBars(statistics);
    if (!bars.empty()) {
        QVBoxLayout* languages = section("SPRACHVERTEILUNG", sections, column);
        auto* list = new QVBoxLayout;
        list->setSpacing(12);
        for (const LanguageBar& bar : bars) list->addWidget(new LanguageBarView(bar, sections));
        languages->addLayout(list);
        column->addWidget(PageDivider::make(sections));
    }
    QVBoxLayout* actions = section("AKTIONEN", sections, column);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    exportButton_ = new StyledButton(QStringLiteral("Statistiken exportieren"), std::make_shared<PrimaryButtonStyle>(),
                                     sections);
    connect(exportButton_, &QPushButton::clicked, this, [this] { showExportOptions(); });
    buttons->addWidget(exportButton_);
    resetButton_ = new StyledButton(QString::fromUtf8("Statistiken zurücksetzen"),
                                    std::make_shared<DestructiveButtonStyle>(), sections);
    connect(resetButton_, &QPushButton::clicked, this, [this] { confirmReset(); });
    buttons->addWidget(resetButton_);
    buttons->addStretch(1);
    actions->addLayout(buttons);
    return sections;
}

void StatisticsView::finishLoading() {
    isLoading_ = false;
    if (content_ == Content::loading) rebuild();
}

void StatisticsView::showExportOptions() {
    if (exportSheet_) exportSheet_->close();
    exportSheet_ = new ExportOptionsView(statistics_, context_.files, this);
    exportSheet_->open();
}

void StatisticsView::confirmReset() {
    if (!context_.alerts) return;
    QPointer<StatisticsView> alive(this);
    const int response = context_.alerts->runModal(StatisticsFigures::resetConfirmation());
    if (!alive || response != alertFirstButtonReturn) return;
    // Nothing is loading after a reset: the empty state shows at once.
    isLoading_ = false;
    statistics_.resetStatistics();
}

}  // namespace parloquin
