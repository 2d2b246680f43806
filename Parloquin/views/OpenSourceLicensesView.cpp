#include "Parloquin/views/OpenSourceLicensesView.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"
#include "Platform/desktop/NSWorkspace.h"

namespace parloquin {

OpenSourceLicensesView::OpenSourceLicensesView(std::vector<License> licenses,
                                               std::shared_ptr<platform::NSWorkspace> workspace, QWidget* parent)
    : SheetView(QStringLiteral("Open-Source-Lizenzen"), parent),
      licenses_(std::move(licenses)),
      workspace_(std::move(workspace)) {
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* list = new QWidget(scroll);
    auto* rows = new QVBoxLayout(list);
    rows->setContentsMargins(0, 0, 8, 0);
    rows->setSpacing(14);
    QFont linkFont = TextStyle::caption();
    for (const License& license : licenses_) {
        auto* row = new QWidget(list);
        auto* layout = new QVBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(2);
        auto* name = new QLabel(QString::fromStdString(license.name), row);
        QFont headline = TextStyle::headline();
        headline.setWeight(QFont::Bold);
        name->setFont(headline);
        layout->addWidget(name);
        layout->addWidget(SecondaryText::label(QString::fromStdString(license.license), TextStyle::caption(), row));
        auto* show = new QPushButton(QStringLiteral("Lizenz anzeigen"), row);
        show->setFlat(true);
        show->setFont(linkFont);
        show->setCursor(Qt::PointingHandCursor);
        show->setAccessibleDescription(QString::fromStdString(license.name));
        show->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0; text-align: left; color: %1; }")
                                .arg(ThemeColors::shared().accentColor.name()));
        // An entry without a link opens nothing.
        connect(show, &QPushButton::clicked, this, [this, url = license.url] {
            if (!url.empty() && workspace_) workspace_->openURL(url);
        });
        layout->addWidget(show, 0, Qt::AlignLeft);
        licenseButtons_.push_back(show);
        rows->addWidget(row);
    }
    rows->addStretch(1);
    scroll->setWidget(list);
    list->setAutoFillBackground(false);
    scroll->viewport()->setAutoFillBackground(false);
    contentLayout()->addWidget(scroll, 1);
    resize(460, 520);
}

}  // namespace parloquin
