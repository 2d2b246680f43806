#pragma once

#include <QScrollArea>

class QVBoxLayout;

namespace parloquin {

// The frame of a settings page: a vertically scrolling area whose content has the page's header
// and, below it, the sections the page adds, 32 apart, with 32 of padding all round.
class SettingsPageView : public QScrollArea {
public:
    SettingsPageView(const QString& title, const QString& subtitle, QWidget* parent = nullptr);

    static constexpr int padding = 32;
    static constexpr int spacing = 32;

    // A vertical layout over the whole widget, with no margins.
    static QVBoxLayout* column(QWidget* widget, int spacing);

protected:
    // What sections are made in.
    QWidget* content() const { return content_; }
    // Below the header and the sections added before.
    void addSection(QWidget* section);

private:
    QWidget* content_;
    QVBoxLayout* sections_;
};

}  // namespace parloquin
