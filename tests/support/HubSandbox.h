#pragma once

#include <filesystem>
#include <set>
#include <string>

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/TestHub.h"

namespace testsupport {

// A loopback hub and a sandbox folder whose "Models" folder serves as the models directory.
// While it lives, RARIVOREDU_HUB_URL points at the hub.
class HubSandbox {
public:
    HubSandbox();

    TestHub hub;

    const std::filesystem::path& root() const noexcept { return sandbox_.path(); }
    std::filesystem::path modelsDirectory() const { return sandbox_.path() / "Models"; }
    // Everything in the sandbox that is not below the models directory.
    std::set<std::string> outsideModels() const;

    // Points RARIVOREDU_HUB_URL at a loopback port where nothing listens, as when offline.
    void unplugHub();

    // Adds a compiled model folder to a repository; files below "weights/" are listed as large
    // files.
    void addBundle(const std::string& repoId, const std::string& name, const FileTree& files = ModelBundleFiles::tiny());

private:
    TemporaryDirectory sandbox_;
    ScopedEnvironment environment_;
};

}  // namespace testsupport
