#include "Platform/desktop/SMAppService.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
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

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    const auto last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// The keys of an entry's main group ("[Desktop Entry]") with their values; nothing when the file
// has no such group.
std::optional<std::map<std::string, std::string>> mainGroup(std::istream& entry) {
    std::optional<std::map<std::string, std::string>> keys;
    bool inMainGroup = false;
    for (std::string line; std::getline(entry, line);) {
        line = trimmed(line);
        if (!line.empty() && line.front() == '[') {
            inMainGroup = line == "[Desktop Entry]";
            if (inMainGroup && !keys) keys.emplace();
            continue;
        }
        const auto equals = line.find('=');
        if (inMainGroup && equals != std::string::npos)
            keys->emplace(trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)));
    }
    return keys;
}

std::filesystem::path runningExecutable() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : SMAppService::programPath(path.string());
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

std::filesystem::path SMAppService::programPath(const std::string& link) {
    // The kernel marks a program file that was removed or replaced after it started (a package
    // upgrade puts the new program at the same path) by this suffix.
    static const std::string deleted = " (deleted)";
    if (link.size() > deleted.size() && link.compare(link.size() - deleted.size(), deleted.size(), deleted) == 0)
        return link.substr(0, link.size() - deleted.size());
    return link;
}

std::string SMAppService::desktopEntry(const std::filesystem::path& executable) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Parloquin\n"
           "Exec=" +
           execValue(executable.string()) +
           "\n"
           "Icon=parloquin\n"
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

SMAppService::Status SMAppService::status() const {
    if (entryPath_.empty()) return Status::notRegistered;
    std::ifstream file(entryPath_);
    const auto keys = file ? mainGroup(file) : std::nullopt;
    if (!keys) return Status::notRegistered;
    auto value = [&](const char* key) {
        const auto found = keys->find(key);
        return found == keys->end() ? std::string() : found->second;
    };
    if (value("Hidden") == "true" || value("X-GNOME-Autostart-enabled") == "false") return Status::notRegistered;
    return Status::enabled;
}

void SMAppService::unregisterLoginItem() {
    if (entryPath_.empty()) return;
    if (::unlink(entryPath_.c_str()) == 0 || errno == ENOENT) return;
    const int code = errno;
    throw NSError(kPOSIXDomain, code, "Could not remove " + entryPath_.string() + ": " + std::strerror(code));
}

}  // namespace platform
