#pragma once

#include <QWidget>
#include <string>

class QLabel;

namespace parloquin {

// What a transcript page shows in place of its content when there is nothing to show: a large
// symbol, a title and a sentence, centred.
class MessagePlaceholderView : public QWidget {
public:
    MessagePlaceholderView(const std::string& symbol, const QString& title, const QString& message,
                           QWidget* parent = nullptr);

    // No transcription stored yet; the sentence names the user's hotkey.
    static MessagePlaceholderView* emptyHistory(const std::string& hotkey, QWidget* parent = nullptr);
    // Records are stored, but the search and the language filter leave none.
    static MessagePlaceholderView* noResults(const std::string& searchText, QWidget* parent = nullptr);
    static MessagePlaceholderView* emptyStatistics(QWidget* parent = nullptr);

    QLabel* titleLabel() const { return title_; }
    QLabel* messageLabel() const { return message_; }
    void setMessage(const QString& message);

private:
    QLabel* title_;
    QLabel* message_;
};

}  // namespace parloquin
