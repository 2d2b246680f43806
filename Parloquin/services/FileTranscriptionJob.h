#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Parloquin/services/Recognition.h"
#include "Parloquin/services/SpeechRecognizer.h"
#include "Platform/system/CancellationToken.h"

namespace parloquin {

// One audio file being transcribed: which file, how far it has come, since when, whether its
// cancel was asked for, and the token that cancels it. It owns the file's road to the recogniser
// too: reading any format platform::AVAudioFile reads, converting it to 16 kHz mono a block at a
// time, refusing what is too short, and the warning for a file that ends before the length it
// declares. The dictation service keeps the running job, not whoever started the file, so that a
// page built while the file runs shows the same progress and can still cancel it. The fields
// belong to the main thread; run() is the part that goes to the worker.
struct FileTranscriptionJob {
    std::filesystem::path file;
    std::int64_t windowsDone = 0;
    std::int64_t windowCount = 0;  // none counted yet: the file is still read, or has one window
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point reported;  // when windowsDone was last counted
    bool cancelling = false;
    // Current on the worker while the file runs.
    platform::CancellationToken cancellation;

    // A job for the file, started now.
    static FileTranscriptionJob begin(const std::filesystem::path& file);
    // A window's report, on the main thread.
    void progressed(std::int64_t done, std::int64_t count);

    // On the worker: reads the file and runs the recogniser over it. A file under one second is
    // refused with audioTooShort; warning gets shortfallWarning's text, or stays empty.
    static Recognition run(SpeechRecognizer& recognizer, const std::filesystem::path& file,
                           std::optional<std::string>& warning);

    // The file at 16 kHz mono 32-bit float, as AudioConverter brings a whole buffer of it there,
    // read and converted a block at a time. A file that is missing, unreadable, damaged or not
    // audio, and files of 2^32 frames or more, are refused with fileReadError, its detail in German.
    // With declaredSeconds, the length the file states for itself is put there.
    static std::vector<float> loadAudioFile16k(const std::filesystem::path& url, double* declaredSeconds = nullptr);
    // The warning for a file that decoded shorter than it declares (by more than a quarter of a
    // second), or nothing.
    static std::optional<std::string> shortfallWarning(double declaredSeconds, double decodedSeconds);
};

}  // namespace parloquin
