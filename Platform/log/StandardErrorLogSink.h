#pragma once

#include <string_view>

#include "Platform/log/LogEntry.h"

namespace platform {

// Writes each entry as one line to standard error (or another descriptor), with its subsystem,
// category and type in front: "com.parloquin/TranscriptionService error: …". The line goes out in
// a single write, so entries from several threads never interleave.
class StandardErrorLogSink : public LogSink {
public:
    explicit StandardErrorLogSink(int descriptor = 2) : descriptor_(descriptor) {}

    void write(const LogEntry& entry) override;

    // The line an entry becomes, without its line break.
    static std::string line(const LogEntry& entry);
    // Writes the text and a line break to standard error in one write: for what a program has to
    // tell the person who started it, whatever the journal does.
    static void writeLine(std::string_view text, int descriptor = 2);

private:
    int descriptor_;
};

}  // namespace platform
