#include "Parloquin/app/MessageBoxAlertPresenter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

namespace parloquin {
namespace {

// Runs the alert and, once its box is up, presses the key on it.
int answerWithKey(const Alert& alert, Qt::Key key) {
    QTimer::singleShot(0, [key] {
        QWidget* box = QApplication::activeModalWidget();
        if (box) QTest::keyClick(box, key);
    });
    return MessageBoxAlertPresenter().runModal(alert);
}

TEST(MessageBoxAlertPresenterTest, ReturnAndEscapeNeverAnswerADestructiveQuestionWithItsFirstButton) {
    Alert question;
    question.messageText = "Gesamten Verlauf löschen";
    question.buttons = {"Alles löschen", "Abbrechen"};
    Alert welcome;
    welcome.messageText = "Willkommen";
    welcome.buttons = {"Loslegen", "Einstellungen öffnen"};
    struct Case {
        const char* name;
        bool destructive;
        Qt::Key key;
        int answer;
    };
    const Case cases[] = {
        {"Return on a destructive question", true, Qt::Key_Return, alertFirstButtonReturn + 1},
        {"Escape on a destructive question", true, Qt::Key_Escape, alertFirstButtonReturn + 1},
        {"Return on another alert", false, Qt::Key_Return, alertFirstButtonReturn},
        {"Escape on another alert", false, Qt::Key_Escape, alertFirstButtonReturn + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Alert alert = c.destructive ? question : welcome;
        alert.destructive = c.destructive;
        EXPECT_EQ(answerWithKey(alert, c.key), c.answer);
    }
}

}  // namespace
}  // namespace parloquin
