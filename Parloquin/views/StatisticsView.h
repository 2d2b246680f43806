#pragma once

#include <QPointer>
#include <QScrollArea>

#include "Parloquin/views/ExportOptionsView.h"
#include "Parloquin/views/PageContext.h"
#include "Parloquin/views/StatisticsFigures.h"

class QVBoxLayout;

namespace parloquin {

class PrivacyBannerView;
class SettingBinding;
class StyledButton;

// The page "Statistiken": the usage totals as cards and bars (usage, time saved against typing,
// speed, recognition performance, languages), the export sheet, and the reset after a question.
// Every figure comes from the store's current totals; the page follows the store live.
class StatisticsView : public QScrollArea {
public:
    static constexpr int loadingDelayMilliseconds = 500;

    StatisticsView(StatisticsManager& statistics, const PageContext& context, QWidget* parent = nullptr);

    bool isLoading() const { return isLoading_; }
    StatisticsFigures::Content content() const { return content_; }
    void finishLoading();
    void showExportOptions();
    // Asks first; only "Zurücksetzen" resets.
    void confirmReset();

    PrivacyBannerView* privacyBanner() const { return privacyBanner_; }
    // The content below the header: a placeholder or the sections.
    QWidget* contentView() const { return contentView_; }
    StyledButton* exportButton() const { return exportButton_; }
    StyledButton* resetButton() const { return resetButton_; }
    ExportOptionsView* exportSheet() const { return exportSheet_; }

private:
    void rebuild();
    QWidget* makeSections(QWidget* parent);

    StatisticsManager& statistics_;
    PageContext context_;
    SettingBinding* privacyMode_;
    bool isLoading_ = true;
    bool loadingScheduled_ = false;
    StatisticsFigures::Content content_ = StatisticsFigures::Content::loading;
    QVBoxLayout* page_ = nullptr;
    PrivacyBannerView* privacyBanner_ = nullptr;
    QWidget* contentView_ = nullptr;
    StyledButton* exportButton_ = nullptr;
    StyledButton* resetButton_ = nullptr;
    QPointer<ExportOptionsView> exportSheet_;
};

}  // namespace parloquin
