#include "Parloquin/views/SidebarView.h"

#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/SidebarItemView.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {
namespace {

QString rgba(QColor color, float alpha) {
    color.setAlphaF(alpha);
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(QString::number(color.alphaF(), 'f', 2));
}

QString qstring(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

}  // namespace

SidebarView::SidebarView(SidebarSection selectedSection, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Sidebar"));
    setMinimumWidth(minimumWidth);
    setMaximumWidth(maximumWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 16, 0, 8);
    layout->setSpacing(8);

    QFont headerFont = TextStyle::caption();
    headerFont.setWeight(QFont::Bold);
    auto* header = SecondaryText::label(QStringLiteral("EINSTELLUNGEN"), headerFont, this);
    header->setContentsMargins(18, 0, 18, 0);
    layout->addWidget(header);

    list_ = new QListWidget(this);
    list_->setAccessibleName(QStringLiteral("EINSTELLUNGEN"));
    list_->setFrameShape(QFrame::NoFrame);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSpacing(0);
    const ThemeColors& colors = ThemeColors::shared();
    list_->setStyleSheet(QStringLiteral("QListWidget { background: transparent; border: none; outline: none; }"
                                        "QListWidget::item { border-radius: 6px; margin: 1px 8px; }"
                                        "QListWidget::item:selected { background: %1; }"
                                        "QListWidget::item:hover:!selected { background: %2; }")
                             .arg(rgba(colors.accentColor, 0.22f), rgba(colors.primary, 0.06f)));
    for (SidebarSection section : allSidebarSections) {
        auto* item = new QListWidgetItem(list_);
        item->setData(Qt::AccessibleTextRole, qstring(rawValue(section)));
        item->setData(Qt::AccessibleDescriptionRole, qstring(subtitle(section)));
        auto* view = new SidebarItemView(section);
        item->setSizeHint(QSize(idealWidth, view->sizeHint().height() + 2));
        list_->setItemWidget(item, view);
    }
    layout->addWidget(list_, 1);
    setSelectedSection(selectedSection);
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < int(allSidebarSections.size())) emit sectionSelected(allSidebarSections[row]);
    });
}

SidebarSection SidebarView::selectedSection() const {
    const int row = list_->currentRow();
    return row >= 0 && row < int(allSidebarSections.size()) ? allSidebarSections[row] : SidebarSection::general;
}

void SidebarView::setSelectedSection(SidebarSection section) {
    for (std::size_t row = 0; row < allSidebarSections.size(); ++row) {
        if (allSidebarSections[row] != section) continue;
        const QSignalBlocker quiet(list_);
        list_->setCurrentRow(int(row));
        return;
    }
}

}  // namespace parloquin
