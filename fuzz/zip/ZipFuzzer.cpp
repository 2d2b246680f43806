// Zip archives as torch.save writes them: end records (ZIP64 too), the central directory, local
// headers, records read whole against their CRC-32.
#include <cstddef>
#include <cstdint>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/FileRegion.h"
#include "RarivOredu/checkpoint/ZipArchive.h"
#include "fuzz/support/FuzzInput.h"

using namespace rarivoredu;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzzsupport::MemoryFile file;
    try {
        const FileRegion region = FileRegion::open(file.write({reinterpret_cast<const char*>(data), size}));
        const ZipArchive zip = ZipArchive::open(region);
        for (const auto& entry : zip.entries()) {
            if (zip.find(entry.name) == nullptr) __builtin_trap();
            try {
                (void)zip.readAll(entry);
            } catch (const CheckpointError&) {
            }
        }
    } catch (const CheckpointError&) {
    }
    return 0;
}
