#include "Parloquin/app/CommandLine.h"

#include <QCommandLineParser>

#include "Parloquin/services/AppVersion.h"

namespace parloquin {
namespace {

const QString kToggle = QStringLiteral("toggle");
const QString kStart = QStringLiteral("start");
const QString kStop = QStringLiteral("stop");
const QString kImportModel = QStringLiteral("import-model");

// Wrapped for an 80-column terminal, as Qt wraps the options below.
const char* const kDescription =
    "On-device dictation for the Linux desktop: hold or press the hotkey, speak,\n"
    "and the text is typed into the window that has the focus. Speech never\n"
    "leaves this computer.\n"
    "\n"
    "Started without options, Parloquin runs in the tray; a second start opens the\n"
    "window of the one that runs. --toggle, --start and --stop are for a keyboard\n"
    "shortcut of the desktop, where Parloquin cannot take the hotkey itself (the\n"
    "page \"Tastenkürzel\" shows the lines to bind). For hold to talk on sway:\n"
    "  bindsym --no-repeat Ctrl+Alt+d exec parloquin --start\n"
    "  bindsym --release Ctrl+Alt+d exec parloquin --stop\n"
    "\n"
    "Exit status: 0 done, 1 failed, 2 an option that does not exist or a wrong\n"
    "combination.";

// The options Qt's own application object reads (-platform xcb …): accepted, not shown.
struct QtOption {
    const char* name;
    bool takesValue;
};
constexpr QtOption kQtOptions[] = {
    {"platform", true},        {"platformtheme", true}, {"platformpluginpath", true}, {"plugin", true},
    {"display", true},         {"style", true},         {"stylesheet", true},         {"session", true},
    {"qwindowgeometry", true}, {"qwindowtitle", true},  {"qwindowicon", true},        {"reverse", false},
};

struct Parser {
    QCommandLineParser parser;
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Shows this help and ends.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Shows the version and ends.")};
    QCommandLineOption toggle{kToggle, QStringLiteral("Starts a recording in the running Parloquin, or ends the one "
                                                      "under way and types its text. Where Parloquin is not running, "
                                                      "it is started (without recording).")};
    QCommandLineOption start{kStart, QStringLiteral("Starts a recording in the running Parloquin (nothing happens "
                                                    "while one runs). Where Parloquin is not running, it is started "
                                                    "(without recording).")};
    QCommandLineOption stop{kStop, QStringLiteral("Ends the running Parloquin's recording and types its text. Where "
                                                  "Parloquin is not running, nothing happens.")};
    QCommandLineOption importModel{kImportModel,
                                   QStringLiteral("Converts a .nemo checkpoint you already have into the speech "
                                                  "models, for a computer without access to the model hub, and "
                                                  "ends. Needs no display."),
                                   QStringLiteral("FILE")};

    Parser() {
        parser.setApplicationDescription(QString::fromUtf8(kDescription));
        // "-platform xcb" is one option, as Qt reads it, not eight letters.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        for (const auto* option : {&help, &version, &toggle, &start, &stop, &importModel}) parser.addOption(*option);
        for (const QtOption& qt : kQtOptions) {
            QCommandLineOption option(QString::fromLatin1(qt.name));
            if (qt.takesValue) option.setValueName(QStringLiteral("value"));
            option.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(option);
        }
    }
};

}  // namespace

CommandLine CommandLine::parse(const QStringList& arguments) {
    Parser p;
    CommandLine result;
    auto misuse = [&result](const QString& error) {
        result.action = Action::misused;
        result.error = error;
        return result;
    };
    if (!p.parser.parse(arguments.isEmpty() ? QStringList{QStringLiteral("parloquin")} : arguments)) {
        // The import's own usage line, as it has always said it.
        if (p.parser.errorText().contains(QLatin1String("'--import-model'")) ||
            p.parser.errorText().contains(QLatin1String("'-import-model'")))
            return misuse(QStringLiteral("Usage: parloquin --import-model FILE (a .nemo checkpoint)"));
        return misuse(p.parser.errorText() + QStringLiteral(" See parloquin --help."));
    }
    if (p.parser.isSet(p.help)) {
        result.action = Action::help;
        return result;
    }
    if (p.parser.isSet(p.version)) {
        result.action = Action::version;
        return result;
    }
    if (!p.parser.positionalArguments().isEmpty())
        return misuse(QStringLiteral("Unexpected argument '%1'. See parloquin --help.")
                          .arg(p.parser.positionalArguments().first()));

    QStringList chosen;
    for (const auto* option : {&p.toggle, &p.start, &p.stop, &p.importModel})
        if (p.parser.isSet(*option)) chosen << QStringLiteral("--") + option->names().first();
    if (chosen.size() > 1)
        return misuse(QStringLiteral("%1 cannot be combined. See parloquin --help.").arg(chosen.join(QStringLiteral(" and "))));
    if (p.parser.isSet(p.importModel)) {
        result.importFile = p.parser.value(p.importModel);
        if (result.importFile.isEmpty())
            return misuse(QStringLiteral("Usage: parloquin --import-model FILE (a .nemo checkpoint)"));
        result.action = Action::importModel;
    } else if (p.parser.isSet(p.toggle)) {
        result.action = Action::toggle;
    } else if (p.parser.isSet(p.start)) {
        result.action = Action::start;
    } else if (p.parser.isSet(p.stop)) {
        result.action = Action::stop;
    }
    return result;
}

QString CommandLine::helpText() {
    Parser p;
    const QString text = p.parser.helpText();
    // Qt names the program by the path it was started with, or not at all before the application
    // object exists: the usage line is the command a person types.
    return QStringLiteral("Usage: parloquin [options]\n") + text.mid(text.indexOf(QLatin1Char('\n')) + 1);
}

QString CommandLine::versionText() {
    return QStringLiteral("Parloquin %1\n").arg(QString::fromStdString(AppVersion::bundle().text()));
}

QString CommandLine::remoteAction(Action action) {
    switch (action) {
        case Action::toggle: return kToggle;
        case Action::start: return kStart;
        case Action::stop: return kStop;
        default: return {};
    }
}

}  // namespace parloquin
