#pragma once

#include <QDBusConnection>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {

// The desktop's programs for addresses, folders and settings. Main thread only.
class NSWorkspace {
public:
    // Asks the file manager on this bus; finds settings programs in the search path (a PATH-style list).
    NSWorkspace(QDBusConnection bus, std::string searchPath);
    virtual ~NSWorkspace() = default;

    // The session bus and the program search path of this process.
    static std::shared_ptr<NSWorkspace> shared();

    // Opens a web, mail or file address with the desktop's program for it. False when the text
    // forms no address with a scheme, or the desktop has no program for it.
    virtual bool openURL(const std::string& address);
    // Told once, on the main thread, whether a program took the folder.
    using Completion = std::function<void(bool shown)>;
    // Shows the folder in the desktop's file manager, with the file selected when one is given:
    // through org.freedesktop.FileManager1 where a file manager offers it on the session bus, else
    // (also when that call fails) through the desktop's program for folders (xdg-open from the
    // search path, which fails when the desktop has no program for folders). False when the
    // fallback is taken at once and cannot start; the completion hears of every outcome.
    virtual bool selectFile(const std::optional<std::filesystem::path>& file, const std::filesystem::path& rootFolder,
                            Completion completion = {});

    // The desktop's sound settings: the first known settings program found in the search path,
    // the desktop's own before the stand-alone mixers. Its command line, or nothing.
    std::optional<std::string> soundSettingsCommand() const;
    virtual bool hasSoundSettings() const { return soundSettingsCommand().has_value(); }
    // Starts the sound settings as a program of their own; false when there are none or the
    // program cannot be started.
    virtual bool openSoundSettings();

private:
    struct Program;
    std::optional<Program> soundSettingsProgram() const;
    bool fileManagerOnBus() const;
    bool openFolderWithDesktop(const QString& folder, Completion completion) const;

    QDBusConnection bus_;
    std::string searchPath_;
};

}  // namespace platform
