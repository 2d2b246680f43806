#include "Parloquin/views/TranscriptSaver.h"

#include <algorithm>

#include "Parloquin/views/ExportFileWriter.h"
#include "Platform/system/DateFormatter.h"
#include "Platform/system/NSError.h"

namespace parloquin {

const char* const TranscriptSaver::noRichText = "Der Text lässt sich nicht als Rich Text schreiben.";

TranscriptSaver::TranscriptSaver(std::shared_ptr<FileChooser> files, std::shared_ptr<AlertPresenter> alerts,
                                 std::string localeIdentifier, platform::TimeZone timeZone)
    : files_(std::move(files)),
      alerts_(std::move(alerts)),
      localeIdentifier_(std::move(localeIdentifier)),
      timeZone_(std::move(timeZone)) {}

FileType TranscriptSaver::fileType(TranscriptExportFormat format) {
    switch (format) {
        case TranscriptExportFormat::txt: return FileType::plainText();
        case TranscriptExportFormat::srt: return FileType::subRip();
        case TranscriptExportFormat::rtf: return FileType::richText();
    }
    return FileType::plainText();
}

std::string TranscriptSaver::defaultFileName(const TranscriptionRecord& record, TranscriptExportFormat format,
                                             const std::string& localeIdentifier,
                                             const platform::TimeZone& timeZone) {
    std::string day = platform::DateFormatter::fromTemplate(localeIdentifier, "yMMMd", timeZone)
                          .string(record.timestamp)
                          .value_or("");
    std::replace(day.begin(), day.end(), '/', '-');
    std::replace(day.begin(), day.end(), '\0', '-');
    return "transkription-" + day + "." + fileType(format).extensions.front();
}

std::optional<std::string> TranscriptSaver::content(const TranscriptionRecord& record, TranscriptExportFormat format,
                                                    const platform::TimeZone& timeZone) {
    switch (format) {
        case TranscriptExportFormat::txt: return record.text;
        case TranscriptExportFormat::srt: return record.toSRT();
        case TranscriptExportFormat::rtf: {
            const auto bytes = record.toRTF(timeZone);
            if (!bytes) return std::nullopt;
            return std::string(bytes->begin(), bytes->end());
        }
    }
    return std::nullopt;
}

Alert TranscriptSaver::failureAlert(const std::string& reason) {
    Alert alert;
    alert.style = AlertStyle::warning;
    alert.messageText = "Transkription nicht gespeichert";
    alert.informativeText = reason;
    alert.buttons = {"OK"};
    return alert;
}

TranscriptSaver::Outcome TranscriptSaver::save(const TranscriptionRecord& record, TranscriptExportFormat format) {
    // Made before the dialog opens, so that the user is not asked for a place that gets nothing.
    const std::optional<std::string> bytes = content(record, format, timeZone_);
    if (!bytes) {
        if (alerts_) alerts_->runModal(failureAlert(noRichText));
        return Outcome::failed;
    }
    if (!files_) return Outcome::cancelled;
    const auto path = files_->chooseSaveLocation(
        {defaultFileName(record, format, localeIdentifier_, timeZone_), fileType(format)});
    if (!path) return Outcome::cancelled;
    try {
        ExportFileWriter::write(*path, *bytes);
    } catch (const platform::NSError& error) {
        if (alerts_) alerts_->runModal(failureAlert(error.localizedDescription()));
        return Outcome::failed;
    }
    return Outcome::saved;
}

}  // namespace parloquin
