// Tar archives (.nemo checkpoints): headers, long names, pax records, member regions.
#include <cstddef>
#include <cstdint>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/TarArchive.h"
#include "fuzz/support/FuzzInput.h"

using namespace rarivoredu;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzzsupport::MemoryFile file;
    try {
        const TarArchive archive = TarArchive::open(file.write({reinterpret_cast<const char*>(data), size}));
        for (const auto& member : archive.members()) {
            const FileRegion region = archive.region(member);
            const std::size_t count = region.size() < 4096 ? static_cast<std::size_t>(region.size()) : 4096;
            (void)region.readBytes(0, count);
            if (archive.find(member.name) == nullptr) __builtin_trap();
        }
    } catch (const CheckpointError&) {
    }
    return 0;
}
