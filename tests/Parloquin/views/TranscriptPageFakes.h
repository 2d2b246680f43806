#pragma once

// Stand-ins for what the transcript pages ask of the desktop: a file chooser that answers for the
// user and notes what it was asked, and the other applications' windows.

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "Parloquin/views/FileChooser.h"
#include "Platform/desktop/ApplicationFocus.h"

namespace parloquin_test {

class FakeChooser : public parloquin::FileChooser {
public:
    std::optional<std::filesystem::path> chooseFileToOpen(const OpenPanel& panel) override {
        openPanels.push_back(panel);
        return open;
    }
    std::optional<std::filesystem::path> chooseSaveLocation(const SavePanel& panel) override {
        savePanels.push_back(panel);
        if (whileOpen) whileOpen();
        if (!saves.empty()) {
            auto next = saves.front();
            saves.pop_front();
            return next;
        }
        return save;
    }

    std::optional<std::filesystem::path> open;  // the answer to every open dialog
    std::optional<std::filesystem::path> save;  // to save dialogs, once `saves` is used up
    std::deque<std::optional<std::filesystem::path>> saves;
    std::function<void()> whileOpen;  // what happens in the window while a save dialog is up
    std::vector<OpenPanel> openPanels;
    std::vector<SavePanel> savePanels;
};

// The window of another application, which takes the keyboard when asked (or never).
class FakeFocus : public platform::ApplicationFocus {
public:
    std::optional<WindowId> previousWindow() override { return previous; }
    bool activate(WindowId window) override {
        activated.push_back(window);
        if (takesFocus) focused = window;
        return activates;
    }
    bool hasFocus(WindowId window) override { return focused == window; }

    std::optional<WindowId> previous = 0x2a00007;
    bool activates = true;
    bool takesFocus = true;
    std::optional<WindowId> focused;
    std::vector<WindowId> activated;
};

}  // namespace parloquin_test
