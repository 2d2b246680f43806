#pragma once

#include <QWidget>

class QLabel;

namespace parloquin {

class BouncingDotsView;

// What the history and statistics pages show while they wait for the store: bouncing dots, what
// is loading, and that the transcription service is being started.
class LoadingPlaceholderView : public QWidget {
public:
    explicit LoadingPlaceholderView(const QString& title, QWidget* parent = nullptr);

    static LoadingPlaceholderView* history(QWidget* parent = nullptr);
    static LoadingPlaceholderView* statistics(QWidget* parent = nullptr);

    BouncingDotsView* dots() const { return dots_; }
    QLabel* titleLabel() const { return title_; }

private:
    BouncingDotsView* dots_;
    QLabel* title_;
};

}  // namespace parloquin
