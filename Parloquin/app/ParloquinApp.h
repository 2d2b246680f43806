#pragma once

#include <QTranslator>
#include <memory>

#include "Parloquin/app/AppDelegate.h"

namespace parloquin {

// The program: it opens no window of its own and hands its whole life to the AppDelegate. Closing
// a window never ends it; only the menu's quit (or the desktop) does.
class ParloquinApp {
public:
    explicit ParloquinApp(AppEnvironment environment = AppEnvironment::system());

    // Starts the launch sequence from the event loop, once it runs.
    void launch();
    // Another start of the program while this one runs: show the main window.
    void reopen();
    // A command sent by a later start ("toggle", "start", "stop"); others are ignored.
    void perform(const QString& command);

    AppDelegate& appDelegate() { return *appDelegate_; }

private:
    std::unique_ptr<QTranslator> qtTranslations_;  // none where Qt has no translation for the locale
    std::unique_ptr<AppDelegate> appDelegate_;
};

}  // namespace parloquin
