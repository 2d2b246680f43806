#include "Parloquin/views/FileType.h"

#include <algorithm>
#include <cctype>

#include "Platform/audio/AVAudioFile.h"

namespace parloquin {

FileType FileType::plainText() { return {"Text", {"txt"}}; }
FileType FileType::subRip() { return {"SubRip-Untertitel", {"srt"}}; }
FileType FileType::richText() { return {"Rich Text", {"rtf"}}; }
FileType FileType::json() { return {"JSON", {"json"}}; }
FileType FileType::commaSeparatedValues() { return {"CSV", {"csv"}}; }
FileType FileType::diagnosticsLog() { return {"Text", {"log", "txt"}}; }
FileType FileType::audio() { return {"Audiodateien", platform::AVAudioFile::readableExtensions()}; }

bool FileType::hasExtension(std::string extension) const {
    if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

}  // namespace parloquin
