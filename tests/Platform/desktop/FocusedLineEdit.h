#pragma once

#include <memory>
#include <string>

class QLineEdit;
class QObject;
class QWidget;

namespace parloquin_test {

// A window with one line edit that holds the keyboard focus of the test X server, so that typed
// and synthetic keys land in it. Counts the Return and Escape presses it sees.
class FocusedLineEdit {
public:
    FocusedLineEdit();
    ~FocusedLineEdit();

    // False when the window could not get the focus.
    bool isFocused() const;
    std::string text() const;
    int returnPresses() const { return returnPresses_; }
    int escapePresses() const { return escapePresses_; }

private:
    std::unique_ptr<QWidget> window_;
    QLineEdit* edit_ = nullptr;
    int returnPresses_ = 0;
    int escapePresses_ = 0;
    std::unique_ptr<QObject> escapeCounter_;
};

}  // namespace parloquin_test
