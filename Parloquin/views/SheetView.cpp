#include "Parloquin/views/SheetView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>

#include "Parloquin/views/SecondaryButtonStyle.h"
#include "Parloquin/views/StyledButton.h"
#include "Parloquin/views/SymbolIcon.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {
namespace {

constexpr int kPadding = 24;
constexpr int kSymbolSize = 22;

}  // namespace

SheetView::SheetView(const QString& title, QWidget* parent, const QString& closeLabel) : QDialog(parent) {
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, ThemeColors::shared().controlBackgroundColor);
    setPalette(palette);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    layout->setSpacing(20);

    auto* header = new QHBoxLayout;
    auto* heading = new QLabel(title, this);
    heading->setFont(TextStyle::title2());
    header->addWidget(heading, 1);
    auto* closeSymbol = new QToolButton(this);
    closeSymbol->setAutoRaise(true);
    closeSymbol->setIcon(QIcon(SymbolIcon::pixmap("xmark.circle.fill", kSymbolSize, ThemeColors::shared().secondary,
                                                  devicePixelRatioF())));
    closeSymbol->setIconSize(QSize(kSymbolSize, kSymbolSize));
    closeSymbol->setCursor(Qt::PointingHandCursor);
    closeSymbol->setAccessibleName(closeLabel);
    closeSymbol->setToolTip(closeLabel);
    connect(closeSymbol, &QToolButton::clicked, this, &QDialog::reject);
    header->addWidget(closeSymbol, 0, Qt::AlignTop);
    closeSymbol_ = closeSymbol;
    layout->addLayout(header);

    content_ = new QVBoxLayout;
    content_->setSpacing(12);
    layout->addLayout(content_, 1);

    buttons_ = new QHBoxLayout;
    buttons_->setSpacing(12);
    buttons_->addStretch(1);
    close_ = new StyledButton(closeLabel, std::make_shared<SecondaryButtonStyle>(), this);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    buttons_->addWidget(close_);
    layout->addLayout(buttons_);
}

void SheetView::addButton(QAbstractButton* button) { buttons_->insertWidget(buttons_->count() - 1, button); }

}  // namespace parloquin
