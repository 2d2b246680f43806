#include "Platform/desktop/SMAppService.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "Platform/system/AtomicFileWriter.h"
#include "Platform/system/FileManager.h"
#include "Platform/system/NSError.h"

namespace platform {
namespace {

constexpr const char* kPOSIXDomain = "NSPOSIXErrorDomain";

// The program as one argument of an Exec key: quoted, with the characters that stay special
// inside quotes escaped, "%" doubled (field codes), then escaped once more as a string value.
std::string execValue(const std::string& program) {
    std::string quoted = "\"";
    for (char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (char c : quoted) {
        switch (c) {
            case '\\': value += "\\\\"; break;
            case '\n': value += "\\n"; break;
            case '\t': value += "\\t"; break;
            case '\r': value += "\\r"; break;
            default: value += c;
        }
    }
    return value;
}

std::filesystem::path runningExecutable() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

}  // namespace

std::filesystem::path SMAppService::defaultEntryPath() {
    return FileManager::configurationDirectory() / "autostart" / "parloquin.desktop";
}

std::shared_ptr<SMAppService> SMAppService::mainApp() {
    std::filesystem::path entry;
    try {
        entry = defaultEntryPath();
    } catch (const NSError&) {
    }
    return std::make_shared<SMAppService>(entry, runningExecutable());
}

SMAppService::SMAppService(std::filesystem::path entryPath, std::filesystem::path executable)
    : entryPath_(std::move(entryPath)), executable_(std::move(executable)) {}

std::string SMAppService::desktopEntry(const std::filesystem::path& executable) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Parloquin\n"
           "Exec=" +
           execValue(executable.string()) +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

void SMAppService::registerLoginItem() {
    if (entryPath_.empty())
        throw NSError(kPOSIXDomain, ENOENT, "There is no home folder to keep the autostart entry in");
    if (executable_.empty())
        throw NSError(kPOSIXDomain, ENOENT, "The program's own path is unknown, so nothing can start it at login");
    AtomicFileWriter().replace(entryPath_, desktopEntry(executable_));
}

void SMAppService::unregisterLoginItem() {
    if (entryPath_.empty()) return;
    if (::unlink(entryPath_.c_str()) == 0 || errno == ENOENT) return;
    const int code = errno;
    throw NSError(kPOSIXDomain, code, "Could not remove " + entryPath_.string() + ": " + std::strerror(code));
}

}  // namespace platform
