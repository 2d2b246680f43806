#pragma once

#include <QWidget>

class QLabel;

namespace parloquin {

// One setting of a page: its title (semibold) and description (small, secondary) on the left,
// its control at the right edge, aligned at the top. The control gets the title as its name and
// the description as its description for assistive technology.
class SettingRow : public QWidget {
public:
    SettingRow(const QString& title, const QString& description, QWidget* content, QWidget* parent = nullptr);

    QWidget* content() const { return content_; }
    QLabel* titleLabel() const { return title_; }
    QLabel* descriptionLabel() const { return description_; }

private:
    QLabel* title_;
    QLabel* description_;
    QWidget* content_;
};

}  // namespace parloquin
