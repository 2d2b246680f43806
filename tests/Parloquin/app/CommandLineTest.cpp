#include "Parloquin/app/CommandLine.h"

#include <gtest/gtest.h>

namespace {

using parloquin::CommandLine;
using Action = CommandLine::Action;

TEST(CommandLineTest, EachOptionIsReadAndMisusesSayWhatIsWrong) {
    struct Case {
        QStringList arguments;  // after the program's name
        Action action;
        QString importFile;
        QString error;  // for misused
    };
    const Case cases[] = {
        {{}, Action::run, {}, {}},
        {{"--help"}, Action::help, {}, {}},
        {{"-h"}, Action::help, {}, {}},
        {{"--version"}, Action::version, {}, {}},
        {{"-v"}, Action::version, {}, {}},
        // help wins over whatever else was asked
        {{"--toggle", "--help"}, Action::help, {}, {}},
        {{"--toggle"}, Action::toggle, {}, {}},
        {{"--start"}, Action::start, {}, {}},
        {{"--stop"}, Action::stop, {}, {}},
        {{"--import-model", "/tmp/a.nemo"}, Action::importModel, "/tmp/a.nemo", {}},
        {{"--import-model=/tmp/a.nemo"}, Action::importModel, "/tmp/a.nemo", {}},
        // Qt's own options reach Qt
        {{"-platform", "xcb"}, Action::run, {}, {}},
        {{"--platform", "wayland", "--start"}, Action::start, {}, {}},
        {{"--bogus"}, Action::misused, {}, "Unknown option 'bogus'. See parloquin --help."},
        {{"-x"}, Action::misused, {}, "Unknown option 'x'. See parloquin --help."},
        {{"file.wav"}, Action::misused, {}, "Unexpected argument 'file.wav'. See parloquin --help."},
        {{"--start", "--stop"}, Action::misused, {}, "--start and --stop cannot be combined. See parloquin --help."},
        {{"--import-model"}, Action::misused, {}, "Usage: parloquin --import-model FILE (a .nemo checkpoint)"},
        {{"--import-model="}, Action::misused, {}, "Usage: parloquin --import-model FILE (a .nemo checkpoint)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const CommandLine line = CommandLine::parse(QStringList{"parloquin"} + c.arguments);
        EXPECT_EQ(static_cast<int>(line.action), static_cast<int>(c.action)) << line.error.toStdString();
        EXPECT_EQ(line.importFile, c.importFile);
        EXPECT_EQ(line.error.toStdString(), c.error.toStdString());
    }
}

// The manual page is made from this text: every option with what it does, the program's own name,
// and none of Qt's options.
TEST(CommandLineTest, TheHelpTextNamesEveryOptionAndWhatACommandDoesWithoutARunningParloquin) {
    const QString help = CommandLine::helpText();
    EXPECT_TRUE(help.startsWith("Usage: parloquin [options]\n")) << help.toStdString();
    for (const char* option : {"-h, --help", "-v, --version", "--toggle", "--start", "--stop", "--import-model <FILE>"})
        EXPECT_TRUE(help.contains(QLatin1String(option))) << option;
    // (Qt wraps the lines of each option.)
    const QString flowing = help.simplified();
    EXPECT_EQ(flowing.count("Where Parloquin is not running, it is started (without recording)."), 2);
    EXPECT_TRUE(flowing.contains("--stop Ends the running Parloquin's recording and types its text. Where Parloquin is "
                                 "not running, nothing happens."));
    for (const QString& line : help.split('\n')) EXPECT_LE(line.size(), 80) << line.toStdString();
    EXPECT_TRUE(help.contains("bindsym --release"));
    EXPECT_FALSE(help.contains("platform"));
    EXPECT_FALSE(help.contains("<executable_name>"));
    EXPECT_TRUE(CommandLine::versionText().startsWith("Parloquin " PARLOQUIN_PROJECT_VERSION " ("));
}

}  // namespace
