#pragma once

#include <QWidget>

#include "Parloquin/views/SidebarSection.h"

class QLabel;

namespace parloquin {

// One entry of the sidebar: the section's symbol, its title in capitals and, below, its subtitle
// on up to two lines, broken between words (cut short with an ellipsis only where even two lines
// of the column cannot hold it). Every entry is as tall as one with two subtitle lines.
class SidebarItemView : public QWidget {
public:
    static constexpr int subtitleLines = 2;

    explicit SidebarItemView(SidebarSection section, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    // `text` in at most `subtitleLines` lines of `width` pixels, joined by "\n".
    static QString wrapped(const QString& text, const QFont& font, int width);

    SidebarSection section() const { return section_; }
    QLabel* titleLabel() const { return title_; }
    QLabel* subtitleLabel() const { return subtitle_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void wrapSubtitle();

    SidebarSection section_;
    QLabel* icon_;
    QLabel* title_;
    QLabel* subtitle_;
    QString fullSubtitle_;
};

}  // namespace parloquin
