#include "Parloquin/views/LoadingPlaceholderView.h"

#include <QLabel>
#include <QVBoxLayout>

#include "Parloquin/views/BouncingDotsView.h"
#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {

LoadingPlaceholderView::LoadingPlaceholderView(const QString& title, QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(24);
    column->addStretch(1);
    dots_ = new BouncingDotsView(this);
    column->addWidget(dots_, 0, Qt::AlignHCenter);
    title_ = SecondaryText::label(title, TextStyle::headline(), this);
    title_->setAlignment(Qt::AlignCenter);
    column->addWidget(title_);
    auto* detail = SecondaryText::label(QStringLiteral("Transkriptionsdienst wird initialisiert"),
                                        TextStyle::caption(), this);
    QPalette palette = detail->palette();
    palette.setColor(QPalette::WindowText, ThemeColors::withOpacity(ThemeColors::shared().secondary, 0.6));
    detail->setPalette(palette);
    detail->setAlignment(Qt::AlignCenter);
    column->addWidget(detail);
    column->addStretch(1);
}

LoadingPlaceholderView* LoadingPlaceholderView::history(QWidget* parent) {
    auto* view = new LoadingPlaceholderView(QStringLiteral("Verlauf wird geladen..."), parent);
    view->setObjectName(QStringLiteral("LoadingHistoryView"));
    return view;
}

LoadingPlaceholderView* LoadingPlaceholderView::statistics(QWidget* parent) {
    auto* view = new LoadingPlaceholderView(QStringLiteral("Statistiken werden geladen..."), parent);
    view->setObjectName(QStringLiteral("LoadingStatisticsView"));
    return view;
}

}  // namespace parloquin
