#pragma once

#include <cerrno>
#include <csignal>
#include <functional>
#include <string_view>

#include "Platform/system/AtomicFileWriter.h"
#include "Platform/system/NSError.h"

namespace testsupport {

// Replaces files like the real writer, but fails (or kills the process) at the chosen step,
// for the next `failures` writes (all of them when negative).
class FaultyFileWriter : public platform::AtomicFileWriter {
public:
    enum class Step { none, halfWritten, flush, rename };
    Step failAt = Step::none;
    bool killInstead = false;
    int failures = -1;
    int attempts = 0;  // writes begun
    int errorCode = EIO;  // the errno the failure reports
    // Runs at the start of every write, on the writing thread.
    std::function<void()> beforeWrite;

protected:
    void writeAll(int fd, std::string_view bytes) override {
        if (beforeWrite) beforeWrite();
        ++attempts;
        if (!failsNow(Step::halfWritten)) return AtomicFileWriter::writeAll(fd, bytes);
        AtomicFileWriter::writeAll(fd, bytes.substr(0, bytes.size() / 2));
        fail();
    }
    void syncFile(int fd) override {
        if (failsNow(Step::flush)) fail();
        AtomicFileWriter::syncFile(fd);
    }
    void renameFile(const std::filesystem::path& from, const std::filesystem::path& to) override {
        if (failsNow(Step::rename)) fail();
        AtomicFileWriter::renameFile(from, to);
    }

private:
    bool failsNow(Step step) const { return failAt == step && failures != 0; }
    void fail() {
        if (killInstead) std::raise(SIGKILL);
        if (failures > 0) --failures;
        throw platform::NSError("NSPOSIXErrorDomain", errorCode, "Injected failure");
    }
};

}  // namespace testsupport
