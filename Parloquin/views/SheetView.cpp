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

QFont title2() {
    QFont font = TextStyle::title();
    font.setPointSizeF(font.pointSizeF() * 0.8);
    return font;
}

}  // namespace

SheetView::SheetView(const QString& title, QWidget* parent) : QDialog(parent) {
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
    heading->setFont(title2());
    header->addWidget(heading, 1);
    auto* closeSymbol = new QToolButton(this);
    closeSymbol->setAutoRaise(true);
    closeSymbol->setIcon(QIcon(SymbolIcon::pixmap("xmark.circle.fill", kSymbolSize, ThemeColors::shared().secondary,
                                                  devicePixelRatioF())));
    closeSymbol->setIconSize(QSize(kSymbolSize, kSymbolSize));
    closeSymbol->setCursor(Qt::PointingHandCursor);
    closeSymbol->setAccessibleName(QStringLiteral("Schließen"));
    closeSymbol->setToolTip(QStringLiteral("Schließen"));
    connect(closeSymbol, &QToolButton::clicked, this, &QDialog::reject);
    header->addWidget(closeSymbol, 0, Qt::AlignTop);
    closeSymbol_ = closeSymbol;
    layout->addLayout(header);

    content_ = new QVBoxLayout;
    content_->setSpacing(12);
    layout->addLayout(content_, 1);

    auto* close = new StyledButton(QStringLiteral("Schließen"), std::make_shared<SecondaryButtonStyle>(), this);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(close, 0, Qt::AlignRight);
    close_ = close;
}

}  // namespace parloquin
