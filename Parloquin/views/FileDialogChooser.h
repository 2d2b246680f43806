#pragma once

#include <QString>
#include <memory>

#include "Parloquin/views/FileChooser.h"

class QFileDialog;

namespace parloquin {

// The file chooser as QFileDialog, over the application's active window. A save dialog opens in
// the home folder, asks before it replaces a file and gives a name without an extension the
// type's first one.
class FileDialogChooser : public FileChooser {
public:
    std::optional<std::filesystem::path> chooseFileToOpen(const OpenPanel& panel) override;
    std::optional<std::filesystem::path> chooseSaveLocation(const SavePanel& panel) override;

    // The dialogs the two calls run, not yet shown.
    static std::unique_ptr<QFileDialog> openDialog(const OpenPanel& panel);
    static std::unique_ptr<QFileDialog> saveDialog(const SavePanel& panel);
    // "Audiodateien (*.wav *.mp3 …)".
    static QString nameFilter(const FileType& type);
};

}  // namespace parloquin
