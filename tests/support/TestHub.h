#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/LoopbackServer.h"
#include "tests/support/ModelBundleFiles.h"

namespace testsupport {

// A model hub on 127.0.0.1 serving fixture repositories in the hub's layout:
//   GET /api/models/<owner>/<name>/tree/main[/<folder>]   JSON array of the folder's children
//   GET /<owner>/<name>/resolve/main/<path>               the file's bytes
// Children are {"type": "file"|"directory", "path", "size"} objects; a file added as large
// lists the size of a pointer (134) as its "size" and, as the public hub does, its real size and
// SHA-256 under "lfs" ({"oid": <hex digest>, "size", "pointerSize"}). A listing of a folder that
// does not exist answers 404, and so does an unknown file.
// Faults are set per listing or per file and can be limited to the next n requests.
class TestHub {
public:
    enum class FaultKind {
        status,          // answer with `status` and a short body
        wrongSize,       // the file's bytes less the last one (or one byte for an empty file)
        dropConnection,  // announce the whole length, send half, close
        body,            // answer 200 with `body` instead
        wrongBytes,      // the file's length, its last byte changed (one byte for an empty file)
        stall,           // announce the whole length, send half, then nothing until the client leaves
    };
    struct Fault {
        FaultKind kind = FaultKind::status;
        int status = 500;
        std::string body;

        static Fault withStatus(int status) { return {FaultKind::status, status, {}}; }
        static Fault wrongSize() { return {FaultKind::wrongSize, 0, {}}; }
        static Fault dropConnection() { return {FaultKind::dropConnection, 0, {}}; }
        static Fault withBody(std::string body) { return {FaultKind::body, 200, std::move(body)}; }
        static Fault wrongBytes() { return {FaultKind::wrongBytes, 0, {}}; }
        static Fault stall() { return {FaultKind::stall, 0, {}}; }
    };

    TestHub();
    ~TestHub();

    // "http://127.0.0.1:<port>"
    std::string baseURL() const { return server_.baseURL(); }

    void addFile(const std::string& repoId, const std::string& path, std::string bytes, bool large = false);
    // Adds files below `folder` ("" for the repository root).
    void addFiles(const std::string& repoId, const std::string& folder, const FileTree& files, bool large = false);
    void removeFile(const std::string& repoId, const std::string& path);
    // An extra entry, as raw JSON text, in the listing of `folder` (for hostile listings).
    void addListingEntry(const std::string& repoId, const std::string& folder, const std::string& json);
    // Bytes to answer for any file the hub does not hold, instead of 404; so that a client that
    // follows a hostile listing would find something to write.
    void serveUnknownFilesWith(std::string bytes);

    // `times` < 0: every request from now on.
    void setListingFault(const std::string& repoId, const std::string& folder, Fault fault, int times = -1);
    void setFileFault(const std::string& repoId, const std::string& path, Fault fault, int times = -1);
    void clearFaults();

    // Blocks until `count` answers have stalled in all.
    void waitForStalls(int count) const;

    // Request targets as sent (percent-encoding kept), in order.
    std::vector<std::string> requests() const;
    // The Authorization header of each request ("" for none), in the order of requests().
    std::vector<std::string> authorizations() const;
    // The Range header ("" when none) of each request whose target contains `text`, in order. A
    // file is served from the range's first byte (status 206), as the public hub does.
    std::vector<std::string> ranges(const std::string& text) const;
    // How many requests had targets containing `text`.
    int requestCount(const std::string& text) const;
    void clearRequests();

    static std::string listingPath(const std::string& repoId, const std::string& folder = {});
    static std::string filePath(const std::string& repoId, const std::string& path);

private:
    struct StoredFile {
        std::string bytes;
        bool large = false;
    };
    struct ArmedFault {
        Fault fault;
        int remaining = -1;
    };

    void handle(const httplib::Request& request, httplib::Response& response);
    void serveListing(const std::string& repoId, const std::string& folder, httplib::Response& response);
    void serveFile(const std::string& repoId, const std::string& path, httplib::Response& response);
    std::optional<Fault> takeFault(const std::string& key);
    void applyFault(const Fault& fault, const std::string& bytes, httplib::Response& response);

    mutable std::mutex mutex_;
    std::map<std::string, std::map<std::string, StoredFile>> repos_;
    std::map<std::string, std::vector<std::string>> extraEntries_;
    std::map<std::string, ArmedFault> faults_;
    std::optional<std::string> unknownFileBytes_;
    std::vector<std::string> requests_;
    std::vector<std::string> authorizations_;
    std::vector<std::string> ranges_;  // beside requests_
    std::atomic<bool> released_{false};  // stalled answers end
    std::atomic<int> stalls_{0};
    LoopbackServer server_;  // last: it stops before the members it uses go away
};

}  // namespace testsupport
