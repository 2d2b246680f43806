#include "Parloquin/services/ModelStorageSize.h"

#include <system_error>

namespace parloquin {

std::uint64_t ModelStorageSize::measure(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::uint64_t total = 0;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    for (const fs::recursive_directory_iterator end; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        // A link is counted where it points, if that is inside the folder at all.
        if (it->is_symlink(entryError) || !it->is_regular_file(entryError)) continue;
        const std::uintmax_t size = it->file_size(entryError);
        if (!entryError) total += size;
    }
    return total;
}

std::string ModelStorageSize::text(std::uint64_t bytes) {
    constexpr std::uint64_t megabyte = 1000 * 1000;
    constexpr std::uint64_t gigabyte = 1000 * megabyte;
    // Rounded to the nearest shown digit: whole megabytes below 1 GB, tenths of a gigabyte above.
    const std::uint64_t megabytes = (bytes + megabyte / 2) / megabyte;
    if (megabytes < 1000) return std::to_string(megabytes) + " MB";
    const std::uint64_t tenths = (bytes + gigabyte / 20) / (gigabyte / 10);
    return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10) + " GB";
}

}  // namespace parloquin
