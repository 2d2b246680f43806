#include "Parloquin/views/PrivacyBannerView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "Parloquin/views/PlainButton.h"
#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/SettingBinding.h"
#include "Parloquin/views/SymbolView.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {

PrivacyBannerView::PrivacyBannerView(const QString& note, SettingBinding* privacyMode, QWidget* parent)
    : RoundedPanel(QColor(), 6, parent) {
    setObjectName(QStringLiteral("PrivacyBanner"));
    const QColor orange = ThemeColors::shared().orange;
    QColor fill = orange;
    fill.setAlphaF(0.1f);
    setFill(fill);
    QColor border = orange;
    border.setAlphaF(0.3f);
    setBorder(border, 1);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 10, 10, 10);
    row->setSpacing(12);
    auto* lock = new SymbolView("lock.fill", 14, orange, this);
    lock->setAccessibleName(QStringLiteral("Datenschutz"));
    row->addWidget(lock);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* title = new QLabel(QStringLiteral("DATENSCHUTZMODUS AKTIV"), this);
    title->setFont(TextStyle::sized(11, QFont::DemiBold));
    QPalette palette = title->palette();
    palette.setColor(QPalette::WindowText, orange);
    title->setPalette(palette);
    texts->addWidget(title);
    texts->addWidget(SecondaryText::label(note, TextStyle::sized(11), this));
    row->addLayout(texts, 1);
    disable_ = new PlainButton(QStringLiteral("Deaktivieren"), orange, TextStyle::sized(11), {}, this);
    row->addWidget(disable_);

    connect(disable_, &QPushButton::clicked, privacyMode,
            [privacyMode] { privacyMode->setValue(platform::UserDefaults::Value(false)); });
    setVisible(privacyMode->boolValue());
    connect(privacyMode, &SettingBinding::changed, this, [this, privacyMode] { setVisible(privacyMode->boolValue()); });
}

}  // namespace parloquin
