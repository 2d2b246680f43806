#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace platform {

// The application's login item: an XDG autostart entry that starts this very program when the
// user logs in (parloquin.desktop in the autostart folder of the user's configuration folder).
class SMAppService {
public:
    // Whether the desktop starts the program at login: `enabled` when the entry is there, readable
    // and not switched off (Hidden=true, or X-GNOME-Autostart-enabled=false, as the desktop's own
    // settings write them).
    enum class Status { notRegistered, enabled };

    // This program, started from where it lies now (the installed program, or the build tree's), with its entry in the user's autostart folder
    // (none when the user has no home folder: registering then fails).
    static std::shared_ptr<SMAppService> mainApp();
    // Throws platform::NSError when the user has no home folder.
    static std::filesystem::path defaultEntryPath();

    SMAppService(std::filesystem::path entryPath, std::filesystem::path executable);

    // Writes the entry, replacing the file at once so that it is never seen half-written.
    // Throws platform::NSError (POSIX domain) when it cannot be written.
    void registerLoginItem();
    // Removes the entry; nothing to do when there is none. Throws platform::NSError when it stays.
    void unregisterLoginItem();

    Status status() const;

    const std::filesystem::path& entryPath() const { return entryPath_; }
    // The desktop entry that starts the program at this path, with the application's icon
    // (parloquin in the icon theme, as the installed menu entry has it).
    static std::string desktopEntry(const std::filesystem::path& executable);
    // The program that /proc/self/exe names (`link` is what it reads): a program file that was
    // replaced while it ran, as a package upgrade does, is named by its path still.
    static std::filesystem::path programPath(const std::string& link);

private:
    std::filesystem::path entryPath_;
    std::filesystem::path executable_;
};

}  // namespace platform
