#include "Parloquin/views/LanguageBarView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {

class LanguageBarView::Track : public QWidget {
public:
    Track(double percentage, QWidget* parent) : QWidget(parent), percentage_(percentage) {
        setFixedHeight(8);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const ThemeColors& colors = ThemeColors::shared();
        QColor track = colors.secondary;
        track.setAlphaF(0.1f);
        QPainterPath whole;
        whole.addRoundedRect(QRectF(rect()), 4, 4);
        painter.fillPath(whole, track);
        const int filled = filledWidth(percentage_, width());
        if (filled <= 0) return;
        QPainterPath part;
        part.addRoundedRect(QRectF(0, 0, filled, height()), 4, 4);
        QLinearGradient gradient(0, 0, filled, 0);
        gradient.setColorAt(0, colors.blue);
        gradient.setColorAt(1, colors.purple);
        painter.fillPath(part, gradient);
    }

private:
    double percentage_;
};

int LanguageBarView::filledWidth(double percentage, int width) {
    if (!std::isfinite(percentage)) return 0;
    return static_cast<int>(std::lround(std::clamp(percentage, 0.0, 100.0) / 100.0 * width));
}

LanguageBarView::LanguageBarView(LanguageBar bar, QWidget* parent) : QWidget(parent), bar_(std::move(bar)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    auto* row = new QHBoxLayout;
    language_ = new QLabel(QString::fromStdString(bar_.language), this);
    QFont medium = TextStyle::caption();
    medium.setWeight(QFont::Medium);
    language_->setFont(medium);
    row->addWidget(language_);
    row->addStretch(1);
    share_ = SecondaryText::label(QString::fromStdString(bar_.shareText()), TextStyle::caption(), this);
    share_->setWordWrap(false);
    row->addWidget(share_);
    column->addLayout(row);
    column->addWidget(new Track(bar_.percentage, this));
}

}  // namespace parloquin
