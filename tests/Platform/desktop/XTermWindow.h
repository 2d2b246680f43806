#pragma once

#include <QProcess>
#include <QTemporaryDir>
#include <string>

typedef struct _XDisplay Display;

namespace parloquin_test {

// An xterm on the test X server that holds the keyboard focus and hands everything typed or pasted
// into it to `cat`, which writes it to a file (the terminal in raw mode, so nothing waits for a line
// break). What arrived is read back from that file.
class XTermWindow {
public:
    XTermWindow();
    ~XTermWindow();
    XTermWindow(const XTermWindow&) = delete;
    XTermWindow& operator=(const XTermWindow&) = delete;

    // False when xterm is missing, its window never showed or it did not get the focus.
    bool isReady() const { return ready_; }
    std::string received() const;

private:
    unsigned long findWindow() const;

    QTemporaryDir folder_;
    QProcess process_;
    Display* display_;
    bool ready_ = false;
};

}  // namespace parloquin_test
