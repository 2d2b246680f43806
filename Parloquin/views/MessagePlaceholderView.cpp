#include "Parloquin/views/MessagePlaceholderView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "Parloquin/views/HistoryListing.h"
#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/SymbolView.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {

MessagePlaceholderView::MessagePlaceholderView(const std::string& symbol, const QString& title,
                                               const QString& message, QWidget* parent)
    : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(32, 32, 32, 32);
    column->setSpacing(16);
    column->addStretch(1);
    auto* icon = new SymbolView(symbol, 60, ThemeColors::shared().secondary, this);
    icon->setAccessibleName(title);
    column->addWidget(icon, 0, Qt::AlignHCenter);
    title_ = new QLabel(title, this);
    title_->setFont(TextStyle::sized(22, QFont::DemiBold));
    title_->setAlignment(Qt::AlignCenter);
    column->addWidget(title_, 0, Qt::AlignHCenter);
    // At most 400 wide, its lines centred.
    auto* line = new QHBoxLayout;
    line->addStretch(1);
    message_ = SecondaryText::label(message, TextStyle::body(), this);
    message_->setAlignment(Qt::AlignCenter);
    message_->setMaximumWidth(400);
    message_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    line->addWidget(message_, 100);
    line->addStretch(1);
    column->addLayout(line);
    column->addStretch(1);
}

void MessagePlaceholderView::setMessage(const QString& message) { message_->setText(message); }

MessagePlaceholderView* MessagePlaceholderView::emptyHistory(const std::string& hotkey, QWidget* parent) {
    auto* view = new MessagePlaceholderView("clock.badge.questionmark", QStringLiteral("Noch kein Verlauf"),
                                            QString::fromStdString(HistoryListing::emptyMessage(hotkey)), parent);
    view->setObjectName(QStringLiteral("EmptyHistoryView"));
    return view;
}

MessagePlaceholderView* MessagePlaceholderView::noResults(const std::string& searchText, QWidget* parent) {
    auto* view = new MessagePlaceholderView("magnifyingglass", QStringLiteral("Keine Ergebnisse"),
                                            QString::fromStdString(HistoryListing::noResultsMessage(searchText)),
                                            parent);
    view->setObjectName(QStringLiteral("NoResultsView"));
    return view;
}

MessagePlaceholderView* MessagePlaceholderView::emptyStatistics(QWidget* parent) {
    auto* view = new MessagePlaceholderView(
        "chart.bar.xaxis", QStringLiteral("Noch keine Statistiken"),
        QString::fromUtf8("Beginne Parloquin zu nutzen um deine Nutzungsstatistiken und Produktivitätsmetriken hier "
                          "zu sehen."),
        parent);
    view->setObjectName(QStringLiteral("EmptyStatisticsView"));
    view->layout()->setContentsMargins(0, 60, 0, 60);
    return view;
}

}  // namespace parloquin
