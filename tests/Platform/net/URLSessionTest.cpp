#include "Platform/net/URLSession.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <vector>
#include <chrono>
#include <optional>
#include <thread>

#include "Platform/net/URLError.h"
#include "Platform/system/CancellationToken.h"
#include "tests/support/FolderContents.h"
#include "tests/support/LoopbackProxy.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using platform::NSError;
using platform::URLError;
using platform::URLRequest;
using platform::URLSession;
using testsupport::LoopbackServer;
using testsupport::TemporaryDirectory;

std::string text(const URLSession::Data& data) { return std::string(data.begin(), data.end()); }

// A small origin server with one endpoint per behaviour.
class Origin {
public:
    Origin()
        : server_([this](httplib::Server& s) {
              s.Get("/ok", [](const httplib::Request&, httplib::Response& r) { r.set_content("hello", "text/plain"); });
              // An error page whatever is asked: a Range header leaves it whole (cpp-httplib
              // would otherwise cut the page by the range, or answer 416, by its version).
              s.Get("/missing", [](const httplib::Request& q, httplib::Response& r) {
                  const_cast<httplib::Request&>(q).ranges.clear();
                  r.status = 404;
                  r.set_content("nope", "text/plain");
              });
              // A file server's answer to a range that starts at the file's end.
              s.Get("/past-the-end", [](const httplib::Request& q, httplib::Response& r) {
                  const_cast<httplib::Request&>(q).ranges.clear();
                  r.status = 416;
                  r.set_header("Content-Range", "bytes */5");
                  r.set_content("<html>416</html>", "text/html");
              });
              // Ranges as a file server answers them (206 from the asked offset on).
              s.Get("/ranged", [this](const httplib::Request& q, httplib::Response& r) {
                  std::lock_guard lock(mutex_);
                  lastRange_ = q.get_header_value("Range");
                  lastEncodings_ = q.get_header_value("Accept-Encoding");
                  r.set_content("0123456789", "application/octet-stream");
              });
              // A server that sends the whole file whatever is asked.
              s.Get("/whole", [](const httplib::Request& q, httplib::Response& r) {
                  const_cast<httplib::Request&>(q).ranges.clear();
                  r.set_content("0123456789", "application/octet-stream");
              });
              // A partial answer from another offset than the one asked for.
              s.Get("/other-range", [](const httplib::Request& q, httplib::Response& r) {
                  const_cast<httplib::Request&>(q).ranges.clear();
                  r.status = 206;
                  r.set_header("Content-Range", "bytes 0-9/10");
                  r.set_content("0123456789", "application/octet-stream");
              });
              s.Get("/no-content", [](const httplib::Request&, httplib::Response& r) { r.status = 204; });
              s.Get("/redirect", [](const httplib::Request&, httplib::Response& r) { r.set_redirect("/ok"); });
              s.Get("/loop", [](const httplib::Request&, httplib::Response& r) { r.set_redirect("/loop"); });
              s.Get("/to-file", [](const httplib::Request&, httplib::Response& r) { r.set_redirect("file:///etc/passwd"); });
              s.Get("/big", [](const httplib::Request&, httplib::Response& r) {
                  r.set_content(std::string(1 << 20, 'b'), "application/octet-stream");
              });
              s.Get("/drop", [](const httplib::Request&, httplib::Response& r) {
                  r.set_content_provider(1000, "application/octet-stream",
                                         [](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                             if (offset > 0) return false;
                                             sink.write(std::string(100, 'd').data(), 100);
                                             return true;
                                         });
              });
              // Sends nothing until released (or the server stops).
              s.Get("/stall", [this](const httplib::Request&, httplib::Response& r) {
                  for (int i = 0; i < 100 && !released_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
                  r.set_content("late", "text/plain");
              });
              // A piece, then nothing until released (or the server stops).
              s.Get("/hang", [this](const httplib::Request&, httplib::Response& r) {
                  const auto piece = [this](std::size_t offset, httplib::DataSink& sink) {
                      if (offset == 0) {
                          sink.write("first", 5);
                          return true;
                      }
                      hanging_ = true;
                      while (!released_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
                      return false;
                  };
                  r.set_chunked_content_provider("application/octet-stream", piece);
              });
              // Eight pieces, 150 ms apart: slow, but never idle for long.
              s.Get("/trickle", [](const httplib::Request&, httplib::Response& r) {
                  r.set_chunked_content_provider("application/octet-stream", [](std::size_t offset, httplib::DataSink& sink) {
                      if (offset >= 8) {
                          sink.done();
                          return true;
                      }
                      std::this_thread::sleep_for(std::chrono::milliseconds(150));
                      sink.write("t", 1);
                      return true;
                  });
              });
          }) {}
    ~Origin() { released_ = true; }

    std::string url(const std::string& path) const { return server_.baseURL() + path; }
    // Blocks until a request to "/hang" has had its first piece and waits.
    void waitUntilHanging() const {
        while (!hanging_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    std::string lastRange() const {
        std::lock_guard lock(mutex_);
        return lastRange_;
    }
    std::string lastEncodings() const {
        std::lock_guard lock(mutex_);
        return lastEncodings_;
    }

private:
    mutable std::mutex mutex_;
    std::string lastRange_;
    std::string lastEncodings_;
    std::atomic<bool> released_{false};
    std::atomic<bool> hanging_{false};
    LoopbackServer server_;
};

TEST(URLSessionTest, ReturnsEveryAnswerWithItsStatus) {
    Origin origin;
    URLSession session;
    struct Case {
        const char* path;
        int status;
        const char* body;
        const char* answeredBy;
    };
    for (const Case& c : {Case{"/ok", 200, "hello", "/ok"}, Case{"/missing", 404, "nope", "/missing"},
                          Case{"/no-content", 204, "", "/no-content"}, Case{"/redirect", 200, "hello", "/ok"}}) {
        SCOPED_TRACE(c.path);
        auto [body, response] = session.data(URLRequest{origin.url(c.path), 5});
        EXPECT_EQ(response.statusCode, c.status);
        EXPECT_EQ(text(body), c.body);
        EXPECT_EQ(response.url, origin.url(c.answeredBy));
    }
}

TEST(URLSessionTest, DownloadStreamsTheBodyIntoAFileInTheGivenFolder) {
    Origin origin;
    TemporaryDirectory folder;
    URLSession session;
    auto [file, response] = session.download(URLRequest{origin.url("/big"), 5}, folder.path());
    EXPECT_EQ(response.statusCode, 200);
    EXPECT_EQ(file.parent_path(), folder.path());
    EXPECT_EQ(testsupport::readBytes(file), std::string(1 << 20, 'b'));
}

// A body longer than the request allows is cut off as it arrives: a hostile server cannot fill
// the disk with a file that would only be refused once whole.
TEST(URLSessionTest, ABodyLongerThanTheLimitIsStoppedAndLeavesNoFile) {
    Origin origin;
    TemporaryDirectory folder;
    URLSession session;
    URLRequest request{origin.url("/big"), 5};
    request.maximumBodyBytes = 1 << 20;  // exactly the body
    auto [file, response] = session.download(request, folder.path());
    EXPECT_EQ(testsupport::readBytes(file).size(), std::size_t{1} << 20);
    std::filesystem::remove(file);

    request.maximumBodyBytes = 64 * 1024;
    std::size_t seen = 0;
    try {
        session.download(request, folder.path(), [&](const char*, std::size_t length) { seen += length; });
        ADD_FAILURE() << "a body of 1 MiB passed a limit of 64 KiB";
    } catch (const platform::NSError& error) {
        EXPECT_EQ(error.code(), URLError::dataLengthExceedsMaximum);
        EXPECT_NE(std::string(error.what()).find("longer than 65536 bytes"), std::string::npos) << error.what();
    }
    EXPECT_LE(seen, std::size_t{64} * 1024);
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));

    // An error page longer than the limit still answers its status, with no more stored.
    request = URLRequest{origin.url("/missing"), 5};
    request.maximumBodyBytes = 2;
    auto [page, missing] = session.download(request, folder.path());
    EXPECT_EQ(missing.statusCode, 404);
    EXPECT_EQ(testsupport::readBytes(page), "no");
}

TEST(URLSessionTest, AResumedDownloadAppendsOnlyTheRangeItAskedFor) {
    Origin origin;
    TemporaryDirectory folder;
    struct Case {
        const char* path;
        std::string kept;  // in the partial file before
        int status;
        std::string after;
        std::optional<std::uint64_t> startedAt;
    };
    const std::vector<Case> cases{
        {"/ranged", "01234", 206, "0123456789", 5},
        {"/ranged", "", 200, "0123456789", 0},
        {"/whole", "01234", 200, "0123456789", 0},       // starts again
        {"/missing", "01234", 404, "01234", std::nullopt},  // an error answer is not stored
        {"/past-the-end", "01234", 416, "01234", std::nullopt},
        {"/other-range", "01234", 206, "01234", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " after '" + c.kept + "'");
        const auto partial = folder.path() / "file.partial";
        std::ofstream(partial, std::ios::binary | std::ios::trunc) << c.kept;
        std::optional<std::uint64_t> startedAt;
        std::string observed;
        const auto response = URLSession().resumeDownload(
            URLRequest{origin.url(c.path), 5}, partial, [&](std::uint64_t offset) { startedAt = offset; },
            [&](const char* bytes, std::size_t length) { observed.append(bytes, length); });
        EXPECT_EQ(response.statusCode, c.status);
        EXPECT_EQ(testsupport::readBytes(partial), c.after);
        EXPECT_EQ(startedAt, c.startedAt);
        EXPECT_EQ(observed, startedAt ? c.after.substr(*startedAt) : "");
        if (std::string(c.path) == "/ranged") {
            EXPECT_EQ(origin.lastRange(), c.kept.empty() ? "" : "bytes=5-");
            // A compressed body could not be continued by its stored length.
            EXPECT_EQ(origin.lastEncodings(), "");
        }
    }
}

TEST(URLSessionTest, TransportFailuresAreURLErrors) {
    Origin origin;
    std::string closedPort;
    {
        LoopbackServer gone([](httplib::Server&) {});
        closedPort = gone.baseURL();
    }
    struct Case {
        const char* name;
        std::string url;
        double timeout;
        long code;
    };
    const std::vector<Case> cases{
        {"refused", closedPort + "/x", 5, URLError::cannotConnectToHost},
        {"dropped", origin.url("/drop"), 5, URLError::networkConnectionLost},
        {"stalled", origin.url("/stall"), 0.3, URLError::timedOut},
        {"redirect loop", origin.url("/loop"), 5, URLError::httpTooManyRedirects},
        {"redirect to a file", origin.url("/to-file"), 5, URLError::unsupportedURL},
        {"other scheme", "ftp://127.0.0.1/x", 5, URLError::unsupportedURL},
        {"not a URL", "no url at all", 5, URLError::badURL},
    };
    URLSession session;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool toFile : {false, true}) {
            TemporaryDirectory folder;
            try {
                if (toFile) {
                    session.download(URLRequest{c.url, c.timeout}, folder.path());
                } else {
                    session.data(URLRequest{c.url, c.timeout});
                }
                ADD_FAILURE() << "no error";
            } catch (const NSError& error) {
                EXPECT_EQ(error.domain(), URLError::domain);
                EXPECT_EQ(error.code(), c.code) << error.what();
                EXPECT_FALSE(error.localizedDescription().empty());
            }
            // A failed download leaves no file behind.
            EXPECT_TRUE(testsupport::folderContents(folder.path()).empty());
        }
    }
}

TEST(URLSessionTest, DownloadShowsTheBodyToAnObserverAsItIsWritten) {
    Origin origin;
    TemporaryDirectory folder;
    std::string seen;
    const auto observe = [&seen](const char* bytes, std::size_t length) { seen.append(bytes, length); };
    auto [file, response] = URLSession().download(URLRequest{origin.url("/big"), 5}, folder.path(), observe);
    EXPECT_EQ(seen, testsupport::readBytes(file));
    EXPECT_EQ(seen.size(), std::size_t{1} << 20);
}

// The server has sent a piece and then goes quiet, far inside the idle time-out: only the
// cancellation can end the transfer.
TEST(URLSessionTest, ACancelledTokenStopsATransferThatWaitsForTheServer) {
    for (const bool toFile : {false, true}) {
        SCOPED_TRACE(toFile ? "download" : "data");
        Origin origin;
        TemporaryDirectory folder;
        platform::CancellationToken token;
        std::optional<NSError> error;
        std::thread transfer([&] {
            platform::CancellationToken::Scope scope(token);
            try {
                const URLRequest request{origin.url("/hang"), 600};
                if (toFile) {
                    URLSession().download(request, folder.path());
                } else {
                    URLSession().data(request);
                }
            } catch (const NSError& e) {
                error = e;
            }
        });
        origin.waitUntilHanging();
        token.cancel();
        transfer.join();
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->domain(), URLError::domain);
        EXPECT_EQ(error->code(), URLError::cancelled) << error->what();
        EXPECT_TRUE(testsupport::folderContents(folder.path()).empty());
    }
    // A token cancelled before the call: nothing is fetched.
    Origin origin;
    platform::CancellationToken token;
    token.cancel();
    platform::CancellationToken::Scope scope(token);
    EXPECT_THROW(URLSession().data(URLRequest{origin.url("/ok"), 5}), NSError);
}

TEST(URLSessionTest, TheTimeOutIsAnIdleTimeOutNotALimitOnTheWholeTransfer) {
    Origin origin;
    URLSession session;
    auto [body, response] = session.data(URLRequest{origin.url("/trickle"), 0.5});
    EXPECT_EQ(response.statusCode, 200);
    EXPECT_EQ(text(body), "tttttttt");
}

TEST(URLSessionTest, RequestsGoThroughTheConfiguredProxyForTheirScheme) {
    Origin origin;
    testsupport::LoopbackProxy proxy("from the proxy");
    struct Case {
        const char* name;
        platform::ConnectionProxyDictionary proxies;
        bool throughProxy;
    };
    platform::ConnectionProxyDictionary http;
    http.httpEnable = true;
    http.httpProxy = "127.0.0.1";
    http.httpPort = proxy.port();
    platform::ConnectionProxyDictionary httpsOnly;
    httpsOnly.httpsEnable = true;
    httpsOnly.httpsProxy = "127.0.0.1";
    httpsOnly.httpsPort = proxy.port();
    for (const Case& c : {Case{"http entry", http, true}, Case{"https entry only", httpsOnly, false}}) {
        SCOPED_TRACE(c.name);
        const auto before = proxy.requestTargets().size();
        URLSession session(platform::URLSessionConfiguration{c.proxies});
        auto [body, response] = session.data(URLRequest{origin.url("/ok"), 5});
        EXPECT_EQ(text(body), c.throughProxy ? "from the proxy" : "hello");
        const auto targets = proxy.requestTargets();
        if (c.throughProxy) {
            ASSERT_EQ(targets.size(), before + 1);
            EXPECT_EQ(targets.back(), origin.url("/ok"));  // the absolute form a proxy gets
        } else {
            EXPECT_EQ(targets.size(), before);
        }
    }
}

TEST(URLSessionTest, ProxyVariablesOfTheEnvironmentAreNotReadByTheSession) {
    Origin origin;
    testsupport::LoopbackProxy proxy("from the proxy");
    for (const char* variable : {"http_proxy", "HTTP_PROXY", "ALL_PROXY", "all_proxy"}) {
        SCOPED_TRACE(variable);
        testsupport::ScopedEnvironment environment;
        environment.set(variable, proxy.url());
        URLSession session;
        auto [body, response] = session.data(URLRequest{origin.url("/ok"), 5});
        EXPECT_EQ(text(body), "hello");
    }
    EXPECT_TRUE(proxy.requestTargets().empty());
}

}  // namespace

namespace {

// A bearer token goes to the host it was meant for, and not on to the host a redirect names
// (a hub sends file downloads on to a storage host).
TEST(URLSessionAuthorizationTest, TheHeaderReachesTheRequestedHostButNotTheHostOfARedirect) {
    std::mutex mutex;
    std::vector<std::string> seenByStorage;
    std::vector<std::string> seenByHub;
    LoopbackServer storage([&](httplib::Server& s) {
        s.Get("/blob", [&](const httplib::Request& request, httplib::Response& r) {
            std::lock_guard lock(mutex);
            seenByStorage.push_back(request.get_header_value("Authorization"));
            r.set_content("bytes", "application/octet-stream");
        });
    });
    // The same machine by another name: another host to the client.
    const std::string storageURL = "http://localhost:" + std::to_string(storage.port()) + "/blob";
    LoopbackServer hub([&](httplib::Server& s) {
        s.Get("/file", [&](const httplib::Request& request, httplib::Response& r) {
            std::lock_guard lock(mutex);
            seenByHub.push_back(request.get_header_value("Authorization"));
            r.set_redirect(storageURL);
        });
        s.Get("/direct", [&](const httplib::Request& request, httplib::Response& r) {
            std::lock_guard lock(mutex);
            seenByHub.push_back(request.get_header_value("Authorization"));
            r.set_content("listing", "application/json");
        });
    });
    URLSession session;
    URLRequest direct{hub.baseURL() + "/direct", 10, "Bearer secret"};
    EXPECT_EQ(text(session.data(direct).first), "listing");
    URLRequest redirected{hub.baseURL() + "/file", 10, "Bearer secret"};
    EXPECT_EQ(text(session.data(redirected).first), "bytes");
    EXPECT_EQ(seenByHub, (std::vector<std::string>{"Bearer secret", "Bearer secret"}));
    EXPECT_EQ(seenByStorage, std::vector<std::string>{""});
}

}  // namespace
