#pragma once

// The desktop's programs as a page test sees them: addresses, folders and the sound settings
// noted instead of opened.

#include <QDBusConnection>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Platform/desktop/NSWorkspace.h"

namespace parloquin_test {

class RecordingWorkspace : public platform::NSWorkspace {
public:
    RecordingWorkspace() : NSWorkspace(QDBusConnection(QString()), "") {}

    bool openURL(const std::string& address) override {
        opened.push_back(address);
        return true;
    }
    bool selectFile(const std::optional<std::filesystem::path>& file, const std::filesystem::path& root,
                    Completion completion) override {
        shownFolders.push_back(file ? *file : root);
        if (completion) completion(fileManagerInstalled);
        return fileManagerInstalled;
    }
    bool hasSoundSettings() const override { return soundSettingsInstalled; }
    bool openSoundSettings() override {
        ++soundSettingsOpened;
        return soundSettingsInstalled;
    }

    std::vector<std::string> opened;
    std::vector<std::filesystem::path> shownFolders;
    bool soundSettingsInstalled = true;
    bool fileManagerInstalled = true;
    int soundSettingsOpened = 0;
};

}  // namespace parloquin_test
