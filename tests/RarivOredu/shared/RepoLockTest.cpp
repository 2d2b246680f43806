#include "RarivOredu/shared/RepoLock.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "tests/support/TemporaryDirectory.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using rarivoredu::RepoLock;
using testsupport::TemporaryDirectory;

// Another holder of the same folder, started while this thread holds it: a thread of this
// process or another process. `finished` tells whether it got through.
class Contender {
public:
    Contender(const fs::path& folder, bool otherProcess) : otherProcess_(otherProcess) {
        if (otherProcess_) {
            const std::string program = REPO_LOCK_PROBE;
            const std::string argument = folder.string();
            char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()), nullptr};
            EXPECT_EQ(::posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv, environ), 0);
        } else {
            thread_ = std::thread([this, folder] {
                RepoLock lock(folder);
                done_ = true;
            });
        }
    }

    // Whether it finished, after waiting up to `patience` for it.
    bool finished(std::chrono::milliseconds patience) {
        const auto until = std::chrono::steady_clock::now() + patience;
        do {
            if (otherProcess_) {
                int status = 0;
                if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                    return true;
                }
            } else if (done_) {
                thread_.join();
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } while (std::chrono::steady_clock::now() < until);
        return false;
    }

    std::optional<int> exitStatus() const { return exitStatus_; }

private:
    bool otherProcess_;
    pid_t pid_ = -1;
    std::thread thread_;
    std::atomic<bool> done_{false};
    std::optional<int> exitStatus_;
};

TEST(RepoLockTest, AHeldFolderWaitsForItsHolderInThisAndOtherProcesses) {
    for (const bool otherProcess : {false, true}) {
        SCOPED_TRACE(otherProcess ? "another process" : "another thread");
        TemporaryDirectory sandbox;
        const fs::path folder = sandbox.path() / "Models" / "silero-vad-coreml";
        std::optional<Contender> contender;
        {
            RepoLock held(folder);
            {
                RepoLock again(folder);  // the holder may take it again
            }
            contender.emplace(folder, otherProcess);
            EXPECT_FALSE(contender->finished(std::chrono::milliseconds(300)));
        }
        EXPECT_TRUE(contender->finished(std::chrono::seconds(60)));
        if (otherProcess) {
            EXPECT_EQ(contender->exitStatus(), 0);
        }
        // The lock file sits beside the folder, so deleting the folder keeps it.
        EXPECT_EQ(RepoLock::lockFilePath(folder), sandbox.path() / "Models" / ".silero-vad-coreml.lock");
        EXPECT_TRUE(fs::exists(RepoLock::lockFilePath(folder)));
        EXPECT_FALSE(fs::exists(folder));
    }
}

}  // namespace
