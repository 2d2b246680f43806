#include "Parloquin/views/HistoryRowView.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QVBoxLayout>
#include <algorithm>

#include "Parloquin/views/HistoryListing.h"
#include "Parloquin/views/HistoryRowFigures.h"
#include "Parloquin/views/PlainButton.h"
#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/SymbolRow.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"
#include "Parloquin/views/TranscriptExportMenu.h"
#include "Platform/system/TimeZone.h"

namespace parloquin {
namespace {

constexpr int kFadeMilliseconds = 200;

QHBoxLayout* row(QWidget* widget, int spacing) {
    auto* layout = new QHBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QLabel* captionLabel(const std::string& text, QColor color, QWidget* parent) {
    auto* label = new QLabel(QString::fromStdString(text), parent);
    label->setFont(TextStyle::caption());
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

QStringList labelTexts(const QWidget* line) {
    QStringList texts;
    for (const QLabel* label : line->findChildren<QLabel*>())
        if (!label->text().isEmpty() && label->isVisibleTo(line)) texts << label->text();
    return texts;
}

}  // namespace

// The start of the text in two lines at most. Its height for a width is worked out once: the
// list asks again whenever search or filter show or hide rows.
class HistoryRowView::Preview : public QLabel {
public:
    Preview(const QString& text, QWidget* parent) : QLabel(text, parent) {
        setTextFormat(Qt::PlainText);
        setFont(TextStyle::body());
        setWordWrap(true);
        setAlignment(Qt::AlignLeft | Qt::AlignTop);
        setMaximumHeight(2 * fontMetrics().lineSpacing());
    }

    int heightForWidth(int width) const override {
        if (width != width_) {
            width_ = width;
            height_ = std::min(QLabel::heightForWidth(width), maximumHeight());
        }
        return height_;
    }

private:
    mutable int width_ = -1;
    mutable int height_ = 0;
};

HistoryRowView::HistoryRowView(TranscriptionRecord record, Actions actions, platform::Date now,
                               const std::string& localeIdentifier, QWidget* parent)
    : RoundedPanel(QColor(), 8, parent),
      record_(std::move(record)),
      actions_(std::move(actions)),
      localeIdentifier_(localeIdentifier) {
    setObjectName(QStringLiteral("HistoryRow"));
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(8);
    column->addWidget(makeTopLine(now, localeIdentifier));

    preview_ = new Preview(QString::fromStdString(HistoryRowFigures::preview(record_.text)), this);
    column->addWidget(preview_);
    column->addWidget(makeFigures());
    setAccessibleName(QString::fromStdString(HistoryRowFigures::preview(record_.text)));
    setHovered(false);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { focusMoved(now); });
}

QWidget* HistoryRowView::makeTopLine(platform::Date now, const std::string& localeIdentifier) {
    const ThemeColors& colors = ThemeColors::shared();
    topLine_ = new QWidget(this);
    auto* line = row(topLine_, 8);
    relativeTime_ = captionLabel(
        HistoryRowFigures::relativeTime(record_, now, localeIdentifier, platform::TimeZone::current()),
        colors.secondary, topLine_);
    line->addWidget(relativeTime_);
    line->addStretch(1);
    if (record_.language) {
        auto* badge = new RoundedPanel(ThemeColors::withAlpha(colors.blue, 0.2), 4, topLine_);
        auto* badgeLayout = row(badge, 0);
        badgeLayout->setContentsMargins(6, 2, 6, 2);
        auto* code = captionLabel(HistoryListing::displayLanguage(*record_.language), colors.blue, badge);
        code->setFont(TextStyle::sized(9, QFont::Bold));
        badgeLayout->addWidget(code);
        line->addWidget(badge);
    }
    line->addWidget(captionLabel(HistoryRowFigures::durationText(record_), colors.secondary, topLine_));
    line->addWidget(captionLabel(HistoryRowFigures::wordCountText(record_), colors.secondary, topLine_));
    return topLine_;
}

void HistoryRowView::showRelativeTime(platform::Date now) {
    const QString text = QString::fromStdString(
        HistoryRowFigures::relativeTime(record_, now, localeIdentifier_, platform::TimeZone::current()));
    if (relativeTime_->text() != text) relativeTime_->setText(text);
}

QWidget* HistoryRowView::makeFigures() {
    const ThemeColors& colors = ThemeColors::shared();
    figures_ = new QWidget(this);
    auto* line = row(figures_, 16);
    const SymbolRow::Metrics figure = SymbolRow::figure(QFontMetrics(TextStyle::caption()).height());
    auto group = [&](const char* symbol, const std::string& text, QColor color) {
        line->addWidget(
            new SymbolRow(symbol, color, QString::fromStdString(text), TextStyle::caption(), color, figures_, figure));
    };
    group("speedometer", HistoryRowFigures::wordsPerMinuteText(record_), colors.secondary);
    if (const auto saved = HistoryRowFigures::timeSavedText(record_))
        group("clock.arrow.circlepath", *saved, colors.green);
    if (const auto rtf = HistoryRowFigures::rtfText(record_)) group("gauge", *rtf, colors.secondary);
    line->addStretch(1);
    return figures_;
}

// Made the first time the row is hovered: most rows never are.
QWidget* HistoryRowView::makeActions() {
    const ThemeColors& colors = ThemeColors::shared();
    actionLine_ = new QWidget(this);
    actionLine_->setObjectName(QStringLiteral("HistoryRowActions"));
    auto* line = row(actionLine_, 12);
    copy_ = new PlainButton(QStringLiteral("Kopieren"), colors.blue, TextStyle::caption(), "doc.on.doc", actionLine_);
    connect(copy_, &QPushButton::clicked, this, [this] {
        if (actions_.onCopy) actions_.onCopy();
    });
    line->addWidget(copy_);
    export_ = new TranscriptExportMenu(colors.blue, TextStyle::caption(), actionLine_);
    export_->onChoose = [this](TranscriptExportFormat format) {
        if (actions_.onExport) actions_.onExport(format);
    };
    line->addWidget(export_);
    delete_ = new PlainButton(QString::fromUtf8("Löschen"), colors.red, TextStyle::caption(), "trash", actionLine_);
    connect(delete_, &QPushButton::clicked, this, [this] {
        if (actions_.onDelete) actions_.onDelete();
    });
    line->addWidget(delete_);
    line->addStretch(1);

    fade_ = new QGraphicsOpacityEffect(actionLine_);
    fade_->setOpacity(0);
    actionLine_->setGraphicsEffect(fade_);
    fading_ = new QPropertyAnimation(fade_, "opacity", this);
    fading_->setDuration(kFadeMilliseconds);
    fading_->setEasingCurve(QEasingCurve::InOutQuad);
    connect(fading_, &QPropertyAnimation::finished, this, [this] {
        if (!hovered_) actionLine_->hide();
    });
    static_cast<QVBoxLayout*>(layout())->addWidget(actionLine_);
    actionLine_->hide();
    return actionLine_;
}

void HistoryRowView::setHovered(bool hovered) {
    const bool changed = hovered != hovered_;
    hovered_ = hovered;
    setFill(ThemeColors::withAlpha(ThemeColors::shared().secondary, hovered ? 0.1 : 0.05));
    if (hovered && !actionLine_) makeActions();
    if (!actionLine_) return;
    if (!changed) {
        actionLine_->setVisible(hovered);
        return;
    }
    fading_->stop();
    fading_->setStartValue(fade_->opacity());
    fading_->setEndValue(hovered ? 1.0 : 0.0);
    if (hovered) actionLine_->show();
    fading_->start();
}

void HistoryRowView::focusMoved(QWidget* now) {
    const bool inside = now && (now == this || isAncestorOf(now));
    if (inside) return setHovered(true);
    if (!underMouse()) setHovered(false);
}

void HistoryRowView::enterEvent(QEnterEvent*) { setHovered(true); }

void HistoryRowView::leaveEvent(QEvent*) {
    QWidget* focus = QApplication::focusWidget();
    if (!focus || (focus != this && !isAncestorOf(focus))) setHovered(false);
}

void HistoryRowView::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void HistoryRowView::mouseReleaseEvent(QMouseEvent* event) {
    const bool tapped = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (tapped && actions_.onTap) actions_.onTap();
}

void HistoryRowView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            if (actions_.onTap) actions_.onTap();
            return;
        default: RoundedPanel::keyPressEvent(event);
    }
}

QStringList HistoryRowView::topLineTexts() const { return labelTexts(topLine_); }
QStringList HistoryRowView::figureTexts() const { return labelTexts(figures_); }

}  // namespace parloquin
