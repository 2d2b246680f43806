// Hub listings (the hub's tree API): entries, large-file records and their digests, written
// again and read back.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Platform/system/NSError.h"
#include "RarivOredu/hub/RepoFile.h"
#include "fuzz/support/FuzzInput.h"

using namespace rarivoredu;
using rarivoredu::RepoFile;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::quietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const auto files = RepoFile::decodeListing(std::string_view(reinterpret_cast<const char*>(data), size));
        for (const auto& file : files) (void)file.sha256Digest();
        // What the listing gave is written out and read back as it was.
        const auto again = RepoFile::decodeListing(RepoFile::encodeListing(files));
        if (again.size() != files.size()) __builtin_trap();
    } catch (const platform::NSError&) {
    }
    return 0;
}
