#pragma once

#include <QWidget>

#include "Parloquin/views/SidebarSection.h"

class QLabel;

namespace parloquin {

// One entry of the sidebar: the section's symbol, its title in capitals and, below, its subtitle
// on one line (cut short with an ellipsis where the column is too narrow).
class SidebarItemView : public QWidget {
public:
    explicit SidebarItemView(SidebarSection section, QWidget* parent = nullptr);

    SidebarSection section() const { return section_; }
    QLabel* titleLabel() const { return title_; }
    QLabel* subtitleLabel() const { return subtitle_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void elideSubtitle();

    SidebarSection section_;
    QLabel* icon_;
    QLabel* title_;
    QLabel* subtitle_;
    QString fullSubtitle_;
};

}  // namespace parloquin
