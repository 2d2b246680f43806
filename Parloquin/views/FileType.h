#pragma once

#include <string>
#include <vector>

namespace parloquin {

// A kind of file the file dialogs offer: its name and its file-name extensions (without the dot,
// the one a saved file gets first).
struct FileType {
    std::string name;
    std::vector<std::string> extensions;

    bool operator==(const FileType&) const = default;

    static FileType plainText();
    static FileType subRip();
    static FileType richText();
    static FileType json();
    static FileType commaSeparatedValues();
    // The diagnostics report: "Text", .log or .txt.
    static FileType diagnosticsLog();
    // The audio files that can be transcribed: every format the decoder reads
    // (platform::AVAudioFile::readableExtensions).
    static FileType audio();

    // Whether the extension (with or without its dot, in any letter case) is one of the type's.
    bool hasExtension(std::string extension) const;
};

}  // namespace parloquin
