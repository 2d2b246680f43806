#include "Parloquin/views/ExportFileWriter.h"

#include <QSaveFile>
#include <QString>

#include "Platform/system/CocoaError.h"

namespace parloquin {
namespace {

platform::NSError failure(const std::filesystem::path& path, const QSaveFile& file) {
    using platform::CocoaError;
    CocoaError::Code code = CocoaError::fileWriteUnknown;
    if (file.error() == QFileDevice::PermissionsError) code = CocoaError::fileWriteNoPermission;
    const std::string name = path.filename().string();
    const std::string folder = path.parent_path().string();
    return CocoaError::make(code, "„" + name + "“ konnte nicht in „" + folder + "“ gespeichert werden (" +
                                      file.errorString().toStdString() + ")");
}

}  // namespace

void ExportFileWriter::write(const std::filesystem::path& path, std::string_view bytes) {
    QSaveFile file(QString::fromStdString(path.string()));
    file.setDirectWriteFallback(false);
    // Unbuffered, so that every short write is seen here: a full disk first takes part of a
    // write, and a buffered QSaveFile would then put the cut file in place as if all were well.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) throw failure(path, file);
    const auto size = static_cast<qint64>(bytes.size());
    for (qint64 written = 0; written < size;) {
        const qint64 step = file.write(bytes.data() + written, size - written);
        if (step <= 0) {
            const platform::NSError error = failure(path, file);
            file.cancelWriting();
            throw error;
        }
        written += step;
    }
    if (!file.commit()) throw failure(path, file);
}

}  // namespace parloquin
