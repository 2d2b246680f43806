#pragma once

#include <QWidget>

class QLabel;

namespace parloquin {

// The head of a page: its title in large bold capitals and, when there is one, a line below it
// saying what the page is for.
class PageHeaderView : public QWidget {
public:
    PageHeaderView(const QString& title, const QString& subtitle, QWidget* parent = nullptr);

    QLabel* titleLabel() const { return title_; }
    QLabel* subtitleLabel() const { return subtitle_; }

private:
    QLabel* title_;
    QLabel* subtitle_ = nullptr;
};

}  // namespace parloquin
