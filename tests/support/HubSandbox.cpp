#include "tests/support/FolderContents.h"
#include "tests/support/HubSandbox.h"

namespace testsupport {

HubSandbox::HubSandbox() { environment_.set("RARIVOREDU_HUB_URL", hub.baseURL()); }

void HubSandbox::unplugHub() {
    std::string closed;
    {
        LoopbackServer gone([](httplib::Server&) {});
        closed = gone.baseURL();
    }
    environment_.set("RARIVOREDU_HUB_URL", closed);
}

std::set<std::string> HubSandbox::outsideModels() const {
    std::set<std::string> outside;
    for (const auto& entry : testsupport::folderContents(root())) {
        if (entry != "Models" && entry.rfind("Models/", 0) != 0) outside.insert(entry);
    }
    return outside;
}

void HubSandbox::addBundle(const std::string& repoId, const std::string& name, const FileTree& files) {
    for (const auto& [path, bytes] : files) {
        hub.addFile(repoId, name + "/" + path, bytes, path.rfind("weights/", 0) == 0);
    }
}

}  // namespace testsupport
