// Qt's own buttons and dialogs speak the user's language once its translations are installed.
#include "Parloquin/app/QtTranslations.h"

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>

namespace {

using parloquin::QtTranslations;

QString buttonText(QDialogButtonBox::StandardButton which) {
    QDialogButtonBox box(which);
    return box.button(which)->text().remove(QLatin1Char('&'));
}

TEST(QtTranslationsTest, StandardButtonsAndTheFileChooserSpeakTheUsersLanguage) {
    ASSERT_EQ(buttonText(QDialogButtonBox::Cancel), "Cancel") << "no translation installed yet";
    const auto german = QtTranslations::install(QLocale(QLocale::German, QLocale::Germany));
    ASSERT_TRUE(german) << "Qt's German translations are missing (qt6-translations-l10n)";
    EXPECT_EQ(buttonText(QDialogButtonBox::Cancel), "Abbrechen");
    EXPECT_EQ(buttonText(QDialogButtonBox::Save), "Speichern");
    EXPECT_EQ(buttonText(QDialogButtonBox::Open), "Öffnen");
    // Qt's own file chooser, as the save panel shows it where the desktop offers none.
    QFileDialog chooser;
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    QStringList labels;
    for (const QLabel* label : chooser.findChildren<QLabel*>()) labels << label->text();
    EXPECT_TRUE(labels.contains("Suchen in:")) << labels.join(" | ").toStdString();
}

TEST(QtTranslationsTest, ALanguageQtDoesNotSpeakLeavesEnglish) {
    EXPECT_FALSE(QtTranslations::install(QLocale(QLocale::Swahili, QLocale::Kenya)));
    EXPECT_EQ(buttonText(QDialogButtonBox::Cancel), "Cancel");
}

}  // namespace
