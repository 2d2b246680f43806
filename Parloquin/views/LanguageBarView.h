#pragma once

#include <QWidget>

#include "Parloquin/views/LanguageBar.h"

class QLabel;

namespace parloquin {

// One language of the distribution: the language and its share over a bar filled to the share,
// blue to purple.
class LanguageBarView : public QWidget {
    Q_OBJECT

public:
    explicit LanguageBarView(LanguageBar bar, QWidget* parent = nullptr);

    const LanguageBar& bar() const { return bar_; }
    QLabel* languageLabel() const { return language_; }
    QLabel* shareLabel() const { return share_; }
    // The filled part's width for the bar's width.
    static int filledWidth(double percentage, int width);

private:
    class Track;

    LanguageBar bar_;
    QLabel* language_;
    QLabel* share_;
};

}  // namespace parloquin
