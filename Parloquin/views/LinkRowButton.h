#pragma once

#include <QAbstractButton>
#include <string_view>

namespace parloquin {

// A row that opens something: its symbol, its title (and a description below it, when given) and a
// chevron at the trailing edge. The whole row is the button.
class LinkRowButton : public QAbstractButton {
public:
    LinkRowButton(std::string_view symbol, const QString& title, const QString& description,
                  QWidget* parent = nullptr);

    const QString& description() const { return description_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QPixmap symbol_;
    QPixmap chevron_;
    QString description_;
    bool hovered_ = false;
};

}  // namespace parloquin
