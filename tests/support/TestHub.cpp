#include "tests/support/TestHub.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <chrono>
#include <memory>
#include <set>
#include <thread>

#include "Platform/system/SHA256.h"

namespace testsupport {
namespace {

constexpr std::size_t pointerSize = 134;

std::string percentDecode(const std::string& text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            decoded.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            decoded.push_back(text[i]);
        }
    }
    return decoded;
}

std::string key(const char* kind, const std::string& repoId, const std::string& path) {
    return std::string(kind) + ":" + repoId + ":" + path;
}

bool startsWith(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

}  // namespace

TestHub::TestHub()
    : server_([this](httplib::Server& server) {
          server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
              handle(request, response);
          });
      }) {}

TestHub::~TestHub() { released_ = true; }

void TestHub::waitForStalls(int count) const {
    while (stalls_ < count) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

std::string TestHub::listingPath(const std::string& repoId, const std::string& folder) {
    return "/api/models/" + repoId + "/tree/main" + (folder.empty() ? "" : "/" + folder);
}

std::string TestHub::filePath(const std::string& repoId, const std::string& path) {
    return "/" + repoId + "/resolve/main/" + path;
}

void TestHub::addFile(const std::string& repoId, const std::string& path, std::string bytes, bool large) {
    std::lock_guard lock(mutex_);
    repos_[repoId][path] = StoredFile{std::move(bytes), large};
}

void TestHub::addFiles(const std::string& repoId, const std::string& folder, const FileTree& files, bool large) {
    for (const auto& [path, bytes] : files) addFile(repoId, folder.empty() ? path : folder + "/" + path, bytes, large);
}

void TestHub::removeFile(const std::string& repoId, const std::string& path) {
    std::lock_guard lock(mutex_);
    repos_[repoId].erase(path);
}

void TestHub::addListingEntry(const std::string& repoId, const std::string& folder, const std::string& json) {
    std::lock_guard lock(mutex_);
    extraEntries_[repoId + ":" + folder].push_back(json);
}

void TestHub::serveUnknownFilesWith(std::string bytes) {
    std::lock_guard lock(mutex_);
    unknownFileBytes_ = std::move(bytes);
}

void TestHub::setListingFault(const std::string& repoId, const std::string& folder, Fault fault, int times) {
    std::lock_guard lock(mutex_);
    faults_[key("list", repoId, folder)] = ArmedFault{std::move(fault), times};
}

void TestHub::setFileFault(const std::string& repoId, const std::string& path, Fault fault, int times) {
    std::lock_guard lock(mutex_);
    faults_[key("file", repoId, path)] = ArmedFault{std::move(fault), times};
}

void TestHub::clearFaults() {
    std::lock_guard lock(mutex_);
    faults_.clear();
}

std::vector<std::string> TestHub::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<std::string> TestHub::authorizations() const {
    std::lock_guard lock(mutex_);
    return authorizations_;
}

int TestHub::requestCount(const std::string& text) const {
    std::lock_guard lock(mutex_);
    int count = 0;
    for (const auto& r : requests_) count += r.find(text) != std::string::npos ? 1 : 0;
    return count;
}

void TestHub::clearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
    authorizations_.clear();
    ranges_.clear();
}

std::vector<std::string> TestHub::ranges(const std::string& text) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> found;
    for (std::size_t i = 0; i < requests_.size(); ++i) {
        if (requests_[i].find(text) != std::string::npos) found.push_back(ranges_[i]);
    }
    return found;
}

std::optional<TestHub::Fault> TestHub::takeFault(const std::string& faultKey) {
    auto it = faults_.find(faultKey);
    if (it == faults_.end()) return std::nullopt;
    Fault fault = it->second.fault;
    if (it->second.remaining > 0 && --it->second.remaining == 0) faults_.erase(it);
    return fault;
}

void TestHub::applyFault(const Fault& fault, const std::string& bytes, httplib::Response& response) {
    switch (fault.kind) {
        case FaultKind::status:
            response.status = fault.status;
            if (fault.status != 204 && fault.status != 304) response.set_content("fault", "text/plain");
            return;
        case FaultKind::wrongSize:
            response.set_content(bytes.empty() ? std::string("x") : bytes.substr(0, bytes.size() - 1),
                                 "application/octet-stream");
            return;
        case FaultKind::dropConnection: {
            auto payload = std::make_shared<std::string>(bytes.size() < 2 ? std::string(64, 'd') : bytes);
            response.set_content_provider(
                payload->size(), "application/octet-stream",
                [payload](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                    const std::size_t half = payload->size() / 2;
                    if (offset < half) sink.write(payload->data() + offset, half - offset);
                    return offset < half;  // false once half is out: the connection is dropped
                });
            return;
        }
        case FaultKind::body: response.set_content(fault.body, "application/octet-stream"); return;
        case FaultKind::wrongBytes: {
            std::string changed = bytes.empty() ? std::string("x") : bytes;
            changed.back() = static_cast<char>(changed.back() ^ 0x5a);
            response.set_content(changed, "application/octet-stream");
            return;
        }
        case FaultKind::stall: {
            auto payload = std::make_shared<std::string>(bytes.size() < 2 ? std::string(64, 's') : bytes);
            response.set_content_provider(
                payload->size(), "application/octet-stream",
                [this, payload](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                    const std::size_t half = payload->size() / 2;
                    if (offset < half) {
                        sink.write(payload->data() + offset, half - offset);
                        return true;
                    }
                    ++stalls_;
                    while (!released_ && sink.is_writable()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    return false;
                });
            return;
        }
    }
}

void TestHub::handle(const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(mutex_);
    requests_.push_back(request.target);
    authorizations_.push_back(request.get_header_value("Authorization"));
    ranges_.push_back(request.get_header_value("Range"));
    std::string target = request.target.substr(0, request.target.find('?'));
    target = percentDecode(target);

    static const std::string apiPrefix = "/api/models/";
    if (startsWith(target, apiPrefix)) {
        // <owner>/<name>/tree/main[/<folder>]
        const std::string rest = target.substr(apiPrefix.size());
        const auto marker = rest.find("/tree/main");
        if (marker == std::string::npos) {
            response.status = 404;
            return;
        }
        const std::string repoId = rest.substr(0, marker);
        std::string folder = rest.substr(marker + std::string("/tree/main").size());
        if (!folder.empty()) {
            if (folder.front() != '/') {
                response.status = 404;
                return;
            }
            folder.erase(0, 1);
        }
        serveListing(repoId, folder, response);
        return;
    }
    const auto marker = target.find("/resolve/main/");
    if (marker != std::string::npos && marker > 0) {
        serveFile(target.substr(1, marker - 1), target.substr(marker + std::string("/resolve/main/").size()), response);
        return;
    }
    response.status = 404;
    response.set_content("Not Found", "text/plain");
}

void TestHub::serveListing(const std::string& repoId, const std::string& folder, httplib::Response& response) {
    nlohmann::json listing = nlohmann::json::array();
    const auto repo = repos_.find(repoId);
    if (repo != repos_.end()) {
        const std::string prefix = folder.empty() ? "" : folder + "/";
        std::set<std::string> folders;
        for (const auto& [path, file] : repo->second) {
            if (!startsWith(path, prefix)) continue;
            const std::string rest = path.substr(prefix.size());
            const auto slash = rest.find('/');
            if (slash != std::string::npos) {
                const std::string child = prefix + rest.substr(0, slash);
                if (folders.insert(child).second) {
                    listing.push_back({{"type", "directory"}, {"oid", "0000"}, {"size", 0}, {"path", child}});
                }
                continue;
            }
            nlohmann::json entry = {{"type", "file"}, {"oid", "1111"}, {"path", path}};
            if (file.large) {
                entry["size"] = pointerSize;
                entry["lfs"] = {{"oid", platform::SHA256::hexDigest(file.bytes)},
                                {"size", file.bytes.size()},
                                {"pointerSize", pointerSize}};
            } else {
                entry["size"] = file.bytes.size();
            }
            listing.push_back(entry);
        }
    }
    if (auto extra = extraEntries_.find(repoId + ":" + folder); extra != extraEntries_.end()) {
        for (const auto& json : extra->second) listing.push_back(nlohmann::json::parse(json));
    }
    const std::string body = listing.dump();
    if (auto fault = takeFault(key("list", repoId, folder))) {
        applyFault(*fault, body, response);
        return;
    }
    if (listing.empty() && !folder.empty()) {
        response.status = 404;
        response.set_content("Entry not found", "text/plain");
        return;
    }
    response.set_content(body, "application/json");
}

void TestHub::serveFile(const std::string& repoId, const std::string& path, httplib::Response& response) {
    const StoredFile* file = nullptr;
    if (auto repo = repos_.find(repoId); repo != repos_.end()) {
        if (auto it = repo->second.find(path); it != repo->second.end()) file = &it->second;
    }
    const std::string bytes = file != nullptr ? file->bytes : unknownFileBytes_.value_or("");
    if (auto fault = takeFault(key("file", repoId, path))) {
        applyFault(*fault, bytes, response);
        return;
    }
    if (file == nullptr && !unknownFileBytes_) {
        response.status = 404;
        response.set_content("Entry not found", "text/plain");
        return;
    }
    response.set_content(bytes, "application/octet-stream");
}

}  // namespace testsupport
