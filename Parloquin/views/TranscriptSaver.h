#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Parloquin/services/AlertPresenter.h"
#include "Parloquin/services/TranscriptionRecord.h"
#include "Parloquin/views/FileChooser.h"
#include "Parloquin/views/TranscriptExportFormat.h"
#include "Platform/system/TimeZone.h"

namespace parloquin {

// Saves one transcript where the user says, as plain text, SubRip subtitles or Rich Text: the
// save dialog proposes "transkription-" + the record's day + the extension; the file is written
// whole or not at all. A transcript that cannot be put into the format, and a file that cannot be
// written, are told in a message box; a cancelled dialog ends the flow silently.
class TranscriptSaver {
public:
    enum class Outcome { saved, cancelled, failed };

    // Dates in the locale (an ICU identifier such as "de_DE") and zone given.
    TranscriptSaver(std::shared_ptr<FileChooser> files, std::shared_ptr<AlertPresenter> alerts,
                    std::string localeIdentifier, platform::TimeZone timeZone = platform::TimeZone::current());

    Outcome save(const TranscriptionRecord& record, TranscriptExportFormat format);

    // "transkription-8. Dez. 2026.txt": the day in the locale's way with an abbreviated month. A
    // slash the locale writes becomes a dash.
    static std::string defaultFileName(const TranscriptionRecord& record, TranscriptExportFormat format,
                                       const std::string& localeIdentifier, const platform::TimeZone& timeZone);
    // The file's bytes; nothing when the record cannot be written as RTF.
    static std::optional<std::string> content(const TranscriptionRecord& record, TranscriptExportFormat format,
                                              const platform::TimeZone& timeZone);
    static FileType fileType(TranscriptExportFormat format);
    // The message box of a transcript that was not saved, with the reason.
    static Alert failureAlert(const std::string& reason);
    // The reason given when the record cannot be made into Rich Text.
    static const char* const noRichText;

private:
    std::shared_ptr<FileChooser> files_;
    std::shared_ptr<AlertPresenter> alerts_;
    std::string localeIdentifier_;
    platform::TimeZone timeZone_;
};

}  // namespace parloquin
