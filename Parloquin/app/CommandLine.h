#pragma once

#include <QString>
#include <QStringList>

namespace parloquin {

// What the person who started "parloquin" asked for. The help text is the one place that says
// which options there are: "parloquin --help" prints it, and the manual page is made from it.
struct CommandLine {
    enum class Action {
        run,          // start Parloquin (or show the window of the one that runs)
        help,         // print the help text and end
        version,      // print the version and end
        importModel,  // convert a checkpoint file (importFile) and end
        toggle,       // the running Parloquin starts a recording, or stops the one that runs
        start,        // the running Parloquin starts a recording
        stop,         // the running Parloquin stops its recording
        misused,      // an option that is not there, or a wrong combination: error says which
    };

    Action action = Action::run;
    QString importFile;
    QString error;  // one line, for misused

    // The exit status of a misuse.
    static constexpr int misuseStatus = 2;

    // Reads the arguments as the program got them (the program's name first). Needs no
    // QCoreApplication.
    static CommandLine parse(const QStringList& arguments);

    static QString helpText();
    static QString versionText();

    // The name of the running Parloquin's action for a command (toggle, start or stop), or empty.
    static QString remoteAction(Action action);
};

}  // namespace parloquin
