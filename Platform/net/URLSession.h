#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <utility>

#include "Platform/net/HTTPURLResponse.h"
#include "Platform/net/URLRequest.h"
#include "Platform/net/URLSessionConfiguration.h"
#include "Platform/system/Data.h"

namespace platform {

// Loads http and https URLs with GET, over libcurl. Redirects are followed (to http and https
// only). Every answer is returned with its status, whatever it is: judging the status is the
// caller's job. Transport failures throw NSError in the URL error domain (URLError).
// The request's time-out is an idle time-out; nothing limits a transfer's total time.
// A transfer stops within a tenth of a second once the calling thread's current
// CancellationToken is cancelled, with URLError cancelled.
// Safe to use from several threads at once; each call runs its own transfer and blocks.
class URLSession {
public:
    using Data = platform::Data;

    explicit URLSession(URLSessionConfiguration configuration = {});

    const URLSessionConfiguration& configuration() const noexcept { return configuration_; }

    // The body in memory.
    std::pair<Data, HTTPURLResponse> data(const URLRequest& request) const;

    // Sees each piece of a body as it is stored.
    using BodyObserver = std::function<void(const char* bytes, std::size_t length)>;

    // The body streamed into a new file in `temporaryDirectory` (the system's temporary folder
    // when empty), whose path is returned: the caller moves or removes it. When the transfer
    // fails the file is removed before the error is thrown. `observe`, when given, sees the
    // bytes in order as they are written.
    std::pair<std::filesystem::path, HTTPURLResponse> download(const URLRequest& request,
                                                               const std::filesystem::path& temporaryDirectory = {},
                                                               const BodyObserver& observe = {}) const;

    // Continues the download kept in `partialFile` (created when missing) from its length: the
    // request asks for the rest with "Range: bytes=<length>-" (a whole request when the file is
    // empty). A 206 answer whose range starts there is appended; a 200 answer (a server that
    // sends the whole file) starts the file again from its first byte; with any other answer the
    // file keeps what it had and the body is not stored. `start`, when given, is told once,
    // before the first byte is stored, where the body goes (the offset, 0 when starting again).
    // `observe` sees the bytes as they are stored. What was stored before a failure stays in the
    // file, so that a later call continues from there.
    using ResumeStart = std::function<void(std::uint64_t offset)>;
    HTTPURLResponse resumeDownload(const URLRequest& request, const std::filesystem::path& partialFile,
                                   const ResumeStart& start = {}, const BodyObserver& observe = {}) const;

private:
    // Told an answer's status and where a partial answer's range starts, before its body.
    using BodyStart = std::function<bool(int statusCode, std::optional<std::uint64_t> rangeStart)>;
    // Runs one transfer, handing each piece of the body to `sink`; a sink that returns false
    // stops the transfer with cannotWriteToFile. `accept`, when given, is asked once before the
    // body's first byte: when it answers false the body is read and dropped. With `resumeFrom`
    // the body comes as stored (never compressed), from that offset on when it is not 0.
    HTTPURLResponse perform(const URLRequest& request, const std::function<bool(const char*, std::size_t)>& sink,
                            const BodyStart& accept = {},
                            std::optional<std::uint64_t> resumeFrom = std::nullopt) const;

    URLSessionConfiguration configuration_;
};

}  // namespace platform
