#include "Platform/log/StandardErrorLogSink.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace platform {

std::string StandardErrorLogSink::line(const LogEntry& entry) {
    std::string text;
    text.reserve(entry.subsystem.size() + entry.category.size() + entry.message.size() + 12);
    text += entry.subsystem;
    text += '/';
    text += entry.category;
    text += ' ';
    text += name(entry.type);
    text += ": ";
    text += entry.message;
    return text;
}

void StandardErrorLogSink::write(const LogEntry& entry) { writeLine(line(entry), descriptor_); }

void StandardErrorLogSink::writeLine(std::string_view text, int descriptor) {
    std::string buffer;
    buffer.reserve(text.size() + 1);
    buffer.append(text);
    buffer += '\n';
    // Logging never fails its caller: a closed or full descriptor loses the line.
    const char* data = buffer.data();
    std::size_t left = buffer.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

}  // namespace platform
