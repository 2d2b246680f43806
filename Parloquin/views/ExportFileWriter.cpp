#include "Parloquin/views/ExportFileWriter.h"

#include <cerrno>
#include <system_error>

#include "Platform/system/AtomicFileWriter.h"
#include "Platform/system/CocoaError.h"

namespace parloquin {

void ExportFileWriter::write(const std::filesystem::path& path, std::string_view bytes) {
    try {
        platform::AtomicFileWriter(platform::AtomicFileWriter::everyone).replace(path, bytes);
    } catch (const platform::NSError& error) {
        using platform::CocoaError;
        const int code = static_cast<int>(error.code());
        const bool denied = code == EACCES || code == EPERM || code == EROFS;
        const std::string reason = std::generic_category().message(code);
        throw CocoaError::make(denied ? CocoaError::fileWriteNoPermission : CocoaError::fileWriteUnknown,
                               "„" + path.filename().string() + "“ konnte nicht in „" + path.parent_path().string() +
                                   "“ gespeichert werden (" + reason + ")");
    }
}

}  // namespace parloquin
