#include "Platform/net/URLSession.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "Platform/net/URLComponents.h"
#include "Platform/net/URLError.h"
#include "Platform/system/CancellationToken.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

// What one transfer keeps while it runs.
struct Transfer {
    CURL* easy = nullptr;
    const std::function<bool(const char*, std::size_t)>* sink = nullptr;
    const std::function<bool(int, std::optional<std::uint64_t>)>* accept = nullptr;
    bool bodyStarted = false;
    bool bodyAccepted = true;
    std::optional<std::uint64_t> rangeStart;  // of the answer whose headers came last
    bool sinkFailed = false;
    std::optional<std::uint64_t> bodyLimit;
    std::uint64_t bodyBytes = 0;
    bool bodyTooLong = false;
    std::chrono::milliseconds idleLimit{60000};
    Clock::time_point lastActivity = Clock::now();
    curl_off_t lastDown = 0;
    curl_off_t lastUp = 0;
    bool idleExpired = false;
    bool cancelled = false;
};

// How long the transfer loop waits for the sockets before it looks at the cancellation token.
constexpr int kPollMilliseconds = 100;

struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

struct MultiDeleter {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};

std::size_t writeBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::size_t length = size * count;
    if (!transfer->bodyStarted) {
        transfer->bodyStarted = true;
        if (transfer->accept != nullptr && *transfer->accept) {
            long status = 0;
            curl_easy_getinfo(transfer->easy, CURLINFO_RESPONSE_CODE, &status);
            transfer->bodyAccepted = (*transfer->accept)(static_cast<int>(status), transfer->rangeStart);
        }
    }
    if (!transfer->bodyAccepted) return length;
    if (transfer->bodyLimit && transfer->bodyBytes + length > *transfer->bodyLimit) {
        long status = 0;
        curl_easy_getinfo(transfer->easy, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 200 && status < 300) {
            transfer->bodyTooLong = true;
            return 0;
        }
        // An error page says its status whatever its length: what fits is kept, the rest dropped.
        const std::size_t fits = static_cast<std::size_t>(*transfer->bodyLimit - transfer->bodyBytes);
        transfer->bodyBytes += fits;
        if (fits > 0 && !(*transfer->sink)(data, fits)) {
            transfer->sinkFailed = true;
            return 0;
        }
        return length;
    }
    transfer->bodyBytes += length;
    if (!(*transfer->sink)(data, length)) {
        transfer->sinkFailed = true;
        return 0;
    }
    return length;
}

// Keeps where a partial answer's range starts ("Content-Range: bytes 100-199/200"); each answer
// (a redirect's too) starts with its status line.
std::size_t readHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::size_t length = size * count;
    std::string line(data, length);
    for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (line.rfind("http/", 0) == 0) {
        transfer->rangeStart.reset();
    } else if (line.rfind("content-range:", 0) == 0) {
        const auto bytes = line.find("bytes ");
        if (bytes != std::string::npos) {
            std::uint64_t start = 0;
            const char* first = line.data() + bytes + 6;
            const char* last = line.data() + line.size();
            while (first < last && *first == ' ') ++first;
            const auto [end, error] = std::from_chars(first, last, start);
            if (error == std::errc() && end < last && *end == '-') transfer->rangeStart = start;
        }
    }
    return length;
}

// libcurl calls this often while bytes move and at least at every turn of the transfer loop
// while they do not.
int watchIdle(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
    auto* transfer = static_cast<Transfer*>(user);
    if (CancellationToken::currentIsCancelled()) {
        transfer->cancelled = true;
        return 1;
    }
    const auto now = Clock::now();
    if (downloaded != transfer->lastDown || uploaded != transfer->lastUp) {
        transfer->lastDown = downloaded;
        transfer->lastUp = uploaded;
        transfer->lastActivity = now;
        return 0;
    }
    if (now - transfer->lastActivity > transfer->idleLimit) {
        transfer->idleExpired = true;
        return 1;
    }
    return 0;
}

std::string lowercaseScheme(const std::string& url) {
    const auto colon = url.find(':');
    if (colon == std::string::npos) return {};
    std::string scheme = url.substr(0, colon);
    for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return scheme;
}

// The proxy for a request to `scheme`, as libcurl wants it; "" means "go direct".
std::string proxyFor(const std::string& scheme, const URLSessionConfiguration& configuration) {
    if (!configuration.connectionProxyDictionary) return {};
    const auto& proxies = *configuration.connectionProxyDictionary;
    auto format = [](std::string host, int port) {
        if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
        return "http://" + host + ":" + std::to_string(port);
    };
    if (scheme == "https" && proxies.httpsEnable && !proxies.httpsProxy.empty()) {
        return format(proxies.httpsProxy, proxies.httpsPort);
    }
    if (scheme == "http" && proxies.httpEnable && !proxies.httpProxy.empty()) {
        return format(proxies.httpProxy, proxies.httpPort);
    }
    return {};
}

NSError errorFor(CURLcode code, const Transfer& transfer, const std::string& url, const char* detail) {
    std::string details = url + ": " + (*detail != '\0' ? detail : curl_easy_strerror(code));
    if (transfer.cancelled) return URLError::make(URLError::cancelled, url);
    if (transfer.idleExpired) {
        return URLError::make(URLError::timedOut, url + ": no data for " +
                                                      std::to_string(transfer.idleLimit.count()) + " ms");
    }
    switch (code) {
        case CURLE_OPERATION_TIMEDOUT: return URLError::make(URLError::timedOut, details);
        case CURLE_URL_MALFORMAT: return URLError::make(URLError::badURL, details);
        case CURLE_UNSUPPORTED_PROTOCOL: return URLError::make(URLError::unsupportedURL, details);
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY: return URLError::make(URLError::cannotFindHost, details);
        case CURLE_COULDNT_CONNECT: return URLError::make(URLError::cannotConnectToHost, details);
        case CURLE_PARTIAL_FILE:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM: return URLError::make(URLError::networkConnectionLost, details);
        case CURLE_TOO_MANY_REDIRECTS: return URLError::make(URLError::httpTooManyRedirects, details);
        case CURLE_WEIRD_SERVER_REPLY: return URLError::make(URLError::badServerResponse, details);
        case CURLE_BAD_CONTENT_ENCODING: return URLError::make(URLError::cannotDecodeContentData, details);
        case CURLE_PEER_FAILED_VERIFICATION: return URLError::make(URLError::serverCertificateUntrusted, details);
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE: return URLError::make(URLError::secureConnectionFailed, details);
        case CURLE_WRITE_ERROR: return URLError::make(URLError::cannotWriteToFile, details);
        default: return URLError::make(URLError::unknown, details);
    }
}

// A file descriptor that is closed, and its file removed, unless released.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::filesystem::path& directory) {
        std::string pattern = (directory / ".urlsession-XXXXXX.tmp").string();
        fd_ = mkostemps(pattern.data(), 4, O_CLOEXEC);
        if (fd_ < 0) {
            throw URLError::make(URLError::cannotCreateFile, directory.string() + ": " + std::strerror(errno));
        }
        path_ = pattern;
    }
    ~TemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!released_) {
            std::error_code ec;
            std::filesystem::remove(path_, ec);
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool write(const char* data, std::size_t length) {
        while (length > 0) {
            const ssize_t written = ::write(fd_, data, length);
            if (written < 0) {
                if (errno == EINTR) continue;
                error_ = errno;
                return false;
            }
            data += written;
            length -= static_cast<std::size_t>(written);
        }
        return true;
    }
    void finish() {
        if (::close(fd_) != 0) {
            fd_ = -1;
            throw URLError::make(URLError::cannotWriteToFile, path_.string() + ": " + std::strerror(errno));
        }
        fd_ = -1;
    }
    std::filesystem::path release() {
        released_ = true;
        return path_;
    }
    int error() const noexcept { return error_; }
    const std::filesystem::path& path() const noexcept { return path_; }

private:
    int fd_ = -1;
    int error_ = 0;
    bool released_ = false;
    std::filesystem::path path_;
};

// Drives one transfer to its end on this thread. The loop, unlike a blocking perform, wakes
// often enough to notice a cancellation while the server sends nothing.
CURLcode run(CURL* easy, Transfer& transfer) {
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), easy) != CURLM_OK) {
        throw URLError::make(URLError::unknown, "could not start a transfer");
    }
    CURLcode result = CURLE_OK;
    for (;;) {
        int running = 0;
        CURLMcode status = curl_multi_perform(multi.get(), &running);
        if (status == CURLM_OK && running > 0) {
            if (CancellationToken::currentIsCancelled()) {
                transfer.cancelled = true;
                result = CURLE_ABORTED_BY_CALLBACK;
                break;
            }
            status = curl_multi_poll(multi.get(), nullptr, 0, kPollMilliseconds, nullptr);
        }
        if (status != CURLM_OK) {
            curl_multi_remove_handle(multi.get(), easy);
            throw URLError::make(URLError::unknown, std::string("the transfer failed: ") + curl_multi_strerror(status));
        }
        if (running == 0) {
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
                if (message->msg == CURLMSG_DONE && message->easy_handle == easy) result = message->data.result;
            }
            break;
        }
    }
    curl_multi_remove_handle(multi.get(), easy);
    return result;
}

}  // namespace

URLSession::URLSession(URLSessionConfiguration configuration) : configuration_(std::move(configuration)) {
    initialiseCurlOnce();
}

HTTPURLResponse URLSession::perform(const URLRequest& request,
                                    const std::function<bool(const char*, std::size_t)>& sink,
                                    const BodyStart& accept, std::optional<std::uint64_t> resumeFrom) const {
    const std::string scheme = lowercaseScheme(request.url);
    if (scheme != "http" && scheme != "https") {
        throw URLError::make(request.url.find(':') == std::string::npos ? URLError::badURL : URLError::unsupportedURL,
                             request.url);
    }
    if (CancellationToken::currentIsCancelled()) throw URLError::make(URLError::cancelled, request.url);
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy) throw URLError::make(URLError::unknown, "could not start a transfer");
    CURL* h = easy.get();

    Transfer transfer;
    transfer.easy = h;
    transfer.sink = &sink;
    transfer.accept = &accept;
    transfer.bodyLimit = request.maximumBodyBytes;
    const double seconds = std::isfinite(request.timeoutInterval) && request.timeoutInterval > 0
                               ? request.timeoutInterval
                               : 60.0;
    transfer.idleLimit = std::chrono::milliseconds(static_cast<long long>(std::ceil(seconds * 1000.0)));

    char errorText[CURL_ERROR_SIZE] = {0};
    const std::string proxy = proxyFor(scheme, configuration_);
    curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 16L);
    // A range counts the bytes as stored: a body that may be continued comes as it is, never
    // compressed.
    const std::string range = std::to_string(resumeFrom.value_or(0)) + "-";
    if (!resumeFrom) {
        curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
    } else if (*resumeFrom > 0) {
        curl_easy_setopt(h, CURLOPT_RANGE, range.c_str());
    }
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, readHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
    // Set both, always: left unset, libcurl would read proxy variables from the environment.
    curl_easy_setopt(h, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(h, CURLOPT_NOPROXY, "");
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(transfer.idleLimit.count()));
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, watchIdle);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    std::unique_ptr<curl_slist, HeaderListDeleter> headers;
    if (!request.authorization.empty()) {
        const std::string header = "Authorization: " + request.authorization;
        headers.reset(curl_slist_append(nullptr, header.c_str()));
        if (!headers) throw URLError::make(URLError::unknown, "could not start a transfer");
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(h, CURLOPT_UNRESTRICTED_AUTH, 0L);  // never to the host of a redirect
    }

    const CURLcode result = run(h, transfer);
    if (result != CURLE_OK) {
        if (transfer.bodyTooLong) {
            throw URLError::make(URLError::dataLengthExceedsMaximum,
                                 request.url + ": the body is longer than " +
                                     std::to_string(*transfer.bodyLimit) + " bytes");
        }
        if (transfer.sinkFailed) {
            throw URLError::make(URLError::cannotWriteToFile, request.url + ": the body could not be stored");
        }
        throw errorFor(result, transfer, request.url, errorText);
    }
    HTTPURLResponse response;
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    response.statusCode = static_cast<int>(status);
    char* effective = nullptr;
    curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effective);
    response.url = effective != nullptr ? effective : request.url;
    return response;
}

std::pair<URLSession::Data, HTTPURLResponse> URLSession::data(const URLRequest& request) const {
    Data body;
    auto response = perform(request, [&body](const char* data, std::size_t length) {
        body.insert(body.end(), reinterpret_cast<const std::uint8_t*>(data),
                    reinterpret_cast<const std::uint8_t*>(data) + length);
        return true;
    });
    return {std::move(body), std::move(response)};
}

std::pair<std::filesystem::path, HTTPURLResponse> URLSession::download(const URLRequest& request,
                                                                       const std::filesystem::path& temporaryDirectory,
                                                                       const BodyObserver& observe) const {
    TemporaryFile file(temporaryDirectory.empty() ? std::filesystem::temp_directory_path() : temporaryDirectory);
    HTTPURLResponse response;
    try {
        response = perform(request, [&file, &observe](const char* data, std::size_t length) {
            if (!file.write(data, length)) return false;
            if (observe) observe(data, length);
            return true;
        });
    } catch (const NSError& error) {
        if (file.error() != 0) {
            throw URLError::make(URLError::cannotWriteToFile, file.path().string() + ": " + std::strerror(file.error()));
        }
        throw;
    }
    file.finish();
    return {file.release(), std::move(response)};
}

HTTPURLResponse URLSession::resumeDownload(const URLRequest& request, const std::filesystem::path& partialFile,
                                           const ResumeStart& start, const BodyObserver& observe) const {
    const int fd = ::open(partialFile.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) throw URLError::make(URLError::cannotCreateFile, partialFile.string() + ": " + std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() {
            if (fd >= 0) ::close(fd);
        }
    } closer{fd};
    const off_t length = ::lseek(fd, 0, SEEK_END);
    if (length < 0) throw URLError::make(URLError::cannotWriteToFile, partialFile.string() + ": " + std::strerror(errno));
    const auto offset = static_cast<std::uint64_t>(length);

    int writeError = 0;
    bool started = false;
    auto startAgain = [&] {
        started = true;
        if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0) {
            writeError = errno;
            return false;
        }
        if (start) start(0);
        return true;
    };
    auto accept = [&](int status, std::optional<std::uint64_t> rangeStart) {
        if (status == 206 && offset > 0 && rangeStart == offset) {
            started = true;
            if (start) start(offset);
            return true;
        }
        if (status == 200) return startAgain();
        return false;  // an error page, or a range we did not ask for: the file keeps what it had
    };
    auto sink = [&](const char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t written = ::write(fd, data, size);
            if (written < 0) {
                if (errno == EINTR) continue;
                writeError = errno;
                return false;
            }
            if (observe) observe(data, static_cast<std::size_t>(written));
            data += written;
            size -= static_cast<std::size_t>(written);
        }
        return true;
    };
    HTTPURLResponse response;
    try {
        response = perform(request, sink, accept, offset);
    } catch (const NSError&) {
        if (writeError != 0) {
            throw URLError::make(URLError::cannotWriteToFile, partialFile.string() + ": " + std::strerror(writeError));
        }
        throw;
    }
    // A whole answer with an empty body has nothing to store, but still replaces the file.
    if (response.statusCode == 200 && !started) startAgain();
    if (writeError != 0) {
        throw URLError::make(URLError::cannotWriteToFile, partialFile.string() + ": " + std::strerror(writeError));
    }
    const int closed = ::close(fd);
    closer.fd = -1;
    if (closed != 0) throw URLError::make(URLError::cannotWriteToFile, partialFile.string() + ": " + std::strerror(errno));
    return response;
}

}  // namespace platform
