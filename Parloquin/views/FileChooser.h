#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "Parloquin/views/FileType.h"

namespace parloquin {

// Where the pages ask the user for a file: one to open, or a place to save one. The desktop's
// file dialog answers in the application; a test answers for the user. Both calls are modal and
// return nothing when the user cancels.
class FileChooser {
public:
    struct OpenPanel {
        std::string message;  // what the user is asked to choose
        FileType allowedType;
    };
    struct SavePanel {
        std::string proposedName;
        FileType allowedType;
    };

    virtual ~FileChooser() = default;
    virtual std::optional<std::filesystem::path> chooseFileToOpen(const OpenPanel& panel) = 0;
    virtual std::optional<std::filesystem::path> chooseSaveLocation(const SavePanel& panel) = 0;

    // The desktop's file dialogs.
    static std::shared_ptr<FileChooser> system();
};

}  // namespace parloquin
