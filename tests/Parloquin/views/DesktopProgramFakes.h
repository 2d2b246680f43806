#pragma once

// The desktop's programs as a page test sees them: addresses, folders and the sound settings
// noted instead of opened, and save panels answered by the test.

#include <QDBusConnection>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Parloquin/views/FilePanelPresenter.h"
#include "Platform/desktop/NSWorkspace.h"

namespace parloquin_test {

class RecordingWorkspace : public platform::NSWorkspace {
public:
    RecordingWorkspace() : NSWorkspace(QDBusConnection(QString()), "") {}

    bool openURL(const std::string& address) override {
        opened.push_back(address);
        return true;
    }
    bool selectFile(const std::optional<std::filesystem::path>& file, const std::filesystem::path& root) override {
        shownFolders.push_back(file ? *file : root);
        return true;
    }
    bool hasSoundSettings() const override { return soundSettingsInstalled; }
    bool openSoundSettings() override {
        ++soundSettingsOpened;
        return soundSettingsInstalled;
    }

    std::vector<std::string> opened;
    std::vector<std::filesystem::path> shownFolders;
    bool soundSettingsInstalled = true;
    int soundSettingsOpened = 0;
};

class AnsweredFilePanels : public parloquin::FilePanelPresenter {
public:
    std::optional<std::filesystem::path> runSavePanel(const parloquin::SavePanel& panel) override {
        asked.push_back(panel);
        return answer;
    }

    std::optional<std::filesystem::path> answer;  // nothing: cancelled
    std::vector<parloquin::SavePanel> asked;
};

}  // namespace parloquin_test
