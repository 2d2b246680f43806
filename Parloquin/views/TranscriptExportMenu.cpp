#include "Parloquin/views/TranscriptExportMenu.h"

#include <QMenu>

#include "Parloquin/views/SymbolIcon.h"

namespace parloquin {
namespace {

struct Item {
    const char* title;
    TranscriptExportFormat format;
};

constexpr Item kItems[] = {
    {"Als Text (.txt)", TranscriptExportFormat::txt},
    {"Als Untertitel (.srt)", TranscriptExportFormat::srt},
    {"Als Rich Text (.rtf)", TranscriptExportFormat::rtf},
};

}  // namespace

TranscriptExportMenu::TranscriptExportMenu(QColor color, const QFont& font, QWidget* parent) : QToolButton(parent) {
    setText(QStringLiteral("Exportieren"));
    setFont(font);
    const int size = fontMetrics().height();
    setIcon(QIcon(SymbolIcon::pixmap("square.and.arrow.up", size, color, devicePixelRatioF())));
    setIconSize(QSize(size, size));
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setPopupMode(QToolButton::InstantPopup);
    setAutoRaise(true);
    setCursor(Qt::PointingHandCursor);
    QPalette palette = this->palette();
    palette.setColor(QPalette::ButtonText, color);
    setPalette(palette);
    // Only the label: the menu's arrow is not drawn.
    setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0px; }"));

    menu_ = new QMenu(this);
    for (const Item& item : kItems)
        connect(menu_->addAction(QString::fromUtf8(item.title)), &QAction::triggered, this,
                [this, format = item.format] { choose(format); });
    setMenu(menu_);
}

void TranscriptExportMenu::choose(TranscriptExportFormat format) {
    if (onChoose) onChoose(format);
}

}  // namespace parloquin
