// The desktop's file dialogs as the pages set them up, before they are shown.
#include "Parloquin/views/FileDialogChooser.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using parloquin::FileDialogChooser;
using parloquin::FileType;

TEST(FileDialogChooserTest, ASaveDialogProposesTheNameInTheHomeFolderAndAsksBeforeReplacing) {
    testsupport::TemporaryDirectory home;
    testsupport::ScopedEnvironment environment;
    environment.set("HOME", home.path().string());
    struct Case {
        FileType type;
        QString filter;
        QString suffix;
    };
    const std::vector<Case> cases = {
        {FileType::plainText(), "Text (*.txt)", "txt"},
        {FileType::diagnosticsLog(), "Text (*.log *.txt)", "log"},
        {FileType::richText(), "Rich Text (*.rtf)", "rtf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter.toStdString());
        const auto dialog = FileDialogChooser::saveDialog({"parloquin-bericht", c.type});
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_EQ(dialog->nameFilters(), QStringList{c.filter});
        EXPECT_EQ(dialog->defaultSuffix(), c.suffix);
        EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(QString::fromStdString(home.path().string())).canonicalPath());
    }
}

TEST(FileDialogChooserTest, AnOpenDialogTakesOneExistingFileOfTheType) {
    const auto dialog = FileDialogChooser::openDialog({"Audiodatei wählen", FileType::audio()});
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(dialog->windowTitle(), "Audiodatei wählen");
    EXPECT_EQ(dialog->nameFilters(),
              QStringList{"Audiodateien (*.wav *.wave *.aiff *.aif *.aifc *.caf *.mp3 *.m4a *.aac *.flac *.ogg *.oga "
                          "*.opus)"});
}

}  // namespace
