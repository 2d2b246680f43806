#include "Parloquin/views/FilePanelPresenter.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QStringList>

namespace parloquin {
namespace {

class FileDialogs : public FilePanelPresenter {
public:
    std::optional<std::filesystem::path> runSavePanel(const SavePanel& panel) override {
        QStringList patterns;
        for (const std::string& extension : panel.allowedExtensions)
            patterns << QStringLiteral("*.") + QString::fromStdString(extension);
        const QString filter = QString::fromStdString(panel.fileTypeName) + QStringLiteral(" (") +
                               patterns.join(QLatin1Char(' ')) + QStringLiteral(")");
        const QString proposed = QDir::home().filePath(QString::fromStdString(panel.nameFieldStringValue));
        const QString chosen = QFileDialog::getSaveFileName(QApplication::activeWindow(), QString(), proposed, filter);
        if (chosen.isEmpty()) return std::nullopt;
        return std::filesystem::path(QFile::encodeName(chosen).toStdString());
    }
};

}  // namespace

std::shared_ptr<FilePanelPresenter> FilePanelPresenter::dialogs() { return std::make_shared<FileDialogs>(); }

}  // namespace parloquin
