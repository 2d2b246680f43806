#include "Parloquin/views/FileDialogChooser.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QStringList>

namespace parloquin {
namespace {

std::optional<std::filesystem::path> run(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
    return std::filesystem::path(QFile::encodeName(files.front()).toStdString());
}

}  // namespace

std::shared_ptr<FileChooser> FileChooser::system() { return std::make_shared<FileDialogChooser>(); }

QString FileDialogChooser::nameFilter(const FileType& type) {
    QStringList patterns;
    for (const auto& extension : type.extensions) patterns << QStringLiteral("*.") + QString::fromStdString(extension);
    return QString::fromStdString(type.name) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
           QLatin1Char(')');
}

std::unique_ptr<QFileDialog> FileDialogChooser::openDialog(const OpenPanel& panel) {
    auto dialog = std::make_unique<QFileDialog>(QApplication::activeWindow());
    dialog->setWindowTitle(QString::fromStdString(panel.message));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilter(nameFilter(panel.allowedType));
    return dialog;
}

std::unique_ptr<QFileDialog> FileDialogChooser::saveDialog(const SavePanel& panel) {
    auto dialog = std::make_unique<QFileDialog>(QApplication::activeWindow());
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(nameFilter(panel.allowedType));
    if (!panel.allowedType.extensions.empty())
        dialog->setDefaultSuffix(QString::fromStdString(panel.allowedType.extensions.front()));
    // The proposed name in the home folder, not in whatever folder the program was started from.
    dialog->setDirectory(QDir::home());
    dialog->selectFile(QDir::home().filePath(QString::fromStdString(panel.proposedName)));
    return dialog;
}

std::optional<std::filesystem::path> FileDialogChooser::chooseFileToOpen(const OpenPanel& panel) {
    return run(*openDialog(panel));
}

std::optional<std::filesystem::path> FileDialogChooser::chooseSaveLocation(const SavePanel& panel) {
    return run(*saveDialog(panel));
}

}  // namespace parloquin
