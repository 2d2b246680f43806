#include "Parloquin/views/FileTranscription.h"

#include <QFileInfo>
#include <QLocale>
#include <QMimeData>
#include <QMimeDatabase>
#include <QUrl>
#include <cmath>
#include <system_error>

#include "Parloquin/views/FileType.h"
#include "Platform/system/CocoaError.h"
#include "Platform/system/NSError.h"
#include "Platform/text/NumberFormat.h"

namespace parloquin {

std::vector<FileTranscription::Chip> FileTranscription::chips(const TranscriptionRecord& record) {
    std::vector<Chip> chips = {
        {"text.word.spacing", std::to_string(record.wordCount) + " Wörter"},
        {"clock", platform::formatFixed(record.duration, 1) + "s"},
    };
    if (record.rtf) chips.push_back({"gauge", "RTF " + platform::formatFixed(*record.rtf, 3)});
    return chips;
}

bool FileTranscription::isAudioFile(const std::filesystem::path& path) {
    if (FileType::audio().hasExtension(path.extension().string())) return true;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(QString::fromStdString(path.string()));
    return type.name().startsWith(QLatin1String("audio/"));
}

std::optional<std::filesystem::path> FileTranscription::droppedAudioFile(const QMimeData& data) {
    if (!data.hasUrls()) return std::nullopt;
    const QList<QUrl> urls = data.urls();
    if (urls.isEmpty() || !urls.front().isLocalFile()) return std::nullopt;
    std::filesystem::path path = urls.front().toLocalFile().toStdString();
    if (!isAudioFile(path)) return std::nullopt;
    return path;
}

std::optional<QString> FileTranscription::sizeText(const std::filesystem::path& path) {
    std::error_code error;
    const auto bytes = std::filesystem::file_size(path, error);
    if (error) return std::nullopt;
    return QLocale().formattedDataSize(static_cast<qint64>(bytes), 1, QLocale::DataSizeSIFormat);
}

std::string FileTranscription::remainingText(double seconds) {
    const auto whole = static_cast<long long>(std::ceil(std::max(seconds, 1.0)));
    if (whole < 60) return "noch etwa " + std::to_string(whole) + " s";
    return "noch etwa " + std::to_string((whole + 59) / 60) + " min";
}

std::string FileTranscription::progressText(std::int64_t windowsDone, std::int64_t windowCount,
                                            double elapsedSeconds) {
    if (windowCount <= 0) return "Die Datei wird gelesen und transkribiert…";
    const std::string count = std::to_string(windowCount);
    if (windowsDone <= 0) return "Abschnitt 1 von " + count + " · Restzeit wird geschätzt…";
    if (windowsDone >= windowCount) return count + " von " + count + " Abschnitten fertig";
    const double perWindow = elapsedSeconds / static_cast<double>(windowsDone);
    return std::to_string(windowsDone) + " von " + count + " Abschnitten fertig · " +
           remainingText(perWindow * static_cast<double>(windowCount - windowsDone));
}

bool FileTranscription::isCancellation(std::exception_ptr error) {
    try {
        if (error) std::rethrow_exception(error);
    } catch (const platform::NSError& failure) {
        return failure.domain() == platform::CocoaError::domain && failure.code() == platform::CocoaError::userCancelled;
    } catch (...) {
    }
    return false;
}

std::string FileTranscription::describe(std::exception_ptr error) {
    try {
        if (error) std::rethrow_exception(error);
    } catch (const std::exception& failure) {
        return failure.what();
    } catch (...) {
    }
    return "Unbekannter Fehler";
}

}  // namespace parloquin
