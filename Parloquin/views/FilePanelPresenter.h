#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace parloquin {

// What a save panel proposes: a file name and the kinds of file it may be saved as.
struct SavePanel {
    std::string nameFieldStringValue;
    // Shown as the panel's filter, as "Text (*.log *.txt)".
    std::string fileTypeName;
    std::vector<std::string> allowedExtensions;
};

// Runs the desktop's file panels modally. Tests answer them instead.
class FilePanelPresenter {
public:
    virtual ~FilePanelPresenter() = default;
    // The file chosen to save to, or nothing when the panel was cancelled.
    virtual std::optional<std::filesystem::path> runSavePanel(const SavePanel& panel) = 0;

    // The desktop's file dialogs.
    static std::shared_ptr<FilePanelPresenter> dialogs();
};

}  // namespace parloquin
