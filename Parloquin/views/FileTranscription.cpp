#include "Parloquin/views/FileTranscription.h"

#include <QFileInfo>
#include <QLocale>
#include <QMimeData>
#include <QMimeDatabase>
#include <QUrl>
#include <system_error>

#include "Parloquin/views/FileType.h"
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
