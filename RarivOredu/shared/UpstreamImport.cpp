#include "RarivOredu/shared/UpstreamImport.h"

#include <map>
#include <mutex>

namespace rarivoredu {
namespace {

struct Registry {
    std::mutex mutex;
    std::map<Repo::Value, UpstreamImport::Importer> importers;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

}  // namespace

void UpstreamImport::registerImporter(Repo repo, Importer importer) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (importer) {
        r.importers[repo] = std::move(importer);
    } else {
        r.importers.erase(repo);
    }
}

std::optional<UpstreamImport::Importer> UpstreamImport::importer(Repo repo) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    const auto found = r.importers.find(repo);
    if (found == r.importers.end()) return std::nullopt;
    return found->second;
}

}  // namespace rarivoredu
