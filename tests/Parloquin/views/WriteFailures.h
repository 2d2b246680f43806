#pragma once

// Ways to make a file write fail that also work for root, who may write into any folder: a path
// whose folder is a file, and a limit on file sizes that cuts every write beyond it.

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "tests/support/FileBytes.h"

namespace parloquin_test {

// A place no file can be written to: below a plain file.
inline std::filesystem::path belowAFile(const std::filesystem::path& folder) {
    const auto file = testsupport::writeFile(folder / "not-a-folder", "a file where a folder should be");
    return file / "export.txt";
}

// While it lives, a file of this process cannot grow beyond the given bytes: a write past it
// fails (EFBIG), as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &previous_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

}  // namespace parloquin_test
