#pragma once

#include <QString>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Parloquin/services/TranscriptionRecord.h"

class QMimeData;

namespace parloquin {

// What the page "Datei" shows and decides, without its widgets.
struct FileTranscription {
    static constexpr const char* title = "DATEI TRANSKRIBIEREN";
    static constexpr const char* subtitle = "Importiere eine Audiodatei zur Transkription";
    static constexpr const char* openPanelMessage = "Wähle eine Audiodatei zur Transkription";
    static constexpr const char* dropPrompt = "Audiodatei hierher ziehen";
    static constexpr const char* supportedFormats = "Unterstützte Formate: WAV, MP3, M4A, AIFF, CAF";
    // A file in which the recogniser found no words.
    static constexpr const char* noSpeech = "In der Datei wurde keine Sprache erkannt.";
    static constexpr const char* cancelTitle = "Abbrechen";
    static constexpr const char* cancelled = "Transkription abgebrochen.";

    // The line under the progress bar: how many windows of audio are done and about how long the
    // rest takes, judged by the time the done ones took. Before the first report (a file being
    // read, or one of a single window) it says only that the file is being worked on.
    static std::string progressText(std::int64_t windowsDone, std::int64_t windowCount, double elapsedSeconds);
    // "noch etwa 12 s", "noch etwa 3 min" (whole units, rounded up).
    static std::string remainingText(double seconds);
    // Whether the error is the user's cancel.
    static bool isCancellation(std::exception_ptr error);

    // A figure of the result's header: its symbol and text.
    struct Chip {
        std::string symbol;
        std::string text;
        bool operator==(const Chip&) const = default;
    };
    // Words, seconds of audio and, when the record has one, the real-time factor.
    static std::vector<Chip> chips(const TranscriptionRecord& record);

    // The audio file a drag carries: the first of its files, when that is a local file whose MIME
    // type is an audio type or whose extension is one of the supported formats.
    static std::optional<std::filesystem::path> droppedAudioFile(const QMimeData& data);
    static bool isAudioFile(const std::filesystem::path& path);
    // The size as a file manager writes it ("1,2 MB" in German), or nothing when it cannot be read.
    static std::optional<QString> sizeText(const std::filesystem::path& path);
    // The text a failure shows: the error's own description.
    static std::string describe(std::exception_ptr error);
};

}  // namespace parloquin
