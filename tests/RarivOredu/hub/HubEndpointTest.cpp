#include "RarivOredu/hub/HubEndpoint.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>

#include "Platform/log/LogCapture.h"
#include "Platform/net/URLError.h"
#include "RarivOredu/hub/HubListing.h"
#include "tests/RarivOredu/hub/VadHubFixture.h"
#include "tests/support/HubSandbox.h"
#include "tests/support/LoopbackProxy.h"

namespace {

namespace fs = std::filesystem;
using hubtest::errorOf;
using hubtest::vadId;
using platform::NSError;
using platform::URLError;
using rarivoredu::HubEndpoint;
using rarivoredu::HubListing;
using rarivoredu::Repo;
using testsupport::HubSandbox;
using testsupport::TestHub;

TEST(HubEndpointProxyTest, ProxiesComeFromTheTwoLowerCaseVariablesOnly) {
    struct Case {
        const char* name;
        std::map<std::string, std::string> environment;
        std::optional<platform::ConnectionProxyDictionary> expected;
        std::vector<std::string> logLines;
    };
    platform::ConnectionProxyDictionary https;
    https.httpsEnable = true;
    https.httpsProxy = "proxy.example";
    https.httpsPort = 3128;
    platform::ConnectionProxyDictionary http;
    http.httpEnable = true;
    http.httpProxy = "10.0.0.1";
    http.httpPort = 8080;
    platform::ConnectionProxyDictionary both = https;
    both.httpEnable = true;
    both.httpProxy = "10.0.0.1";
    both.httpPort = 8080;
    const std::vector<Case> cases{
        {"https with a port", {{"https_proxy", "http://proxy.example:3128"}}, https,
         {"Configured HTTPS proxy: proxy.example:3128"}},
        {"https without a port", {{"https_proxy", "http://proxy.example"}}, std::nullopt,
         {"Invalid HTTPS proxy URL: http://proxy.example"}},
        {"http", {{"http_proxy", "http://user:pw@10.0.0.1:8080/"}}, http, {"Configured HTTP proxy: 10.0.0.1:8080"}},
        {"both", {{"https_proxy", "http://proxy.example:3128"}, {"http_proxy", "http://10.0.0.1:8080"}}, both, {}},
        {"one bad, one good", {{"https_proxy", "proxy.example:3128"}, {"http_proxy", "http://10.0.0.1:8080"}}, http,
         {"Invalid HTTPS proxy URL: proxy.example:3128"}},
        {"upper case names", {{"HTTPS_PROXY", "http://proxy.example:3128"}, {"HTTP_PROXY", "http://10.0.0.1:8080"}},
         std::nullopt, {}},
        {"none", {}, std::nullopt, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::ScopedEnvironment environment;
        for (const char* name : {"https_proxy", "http_proxy", "HTTPS_PROXY", "HTTP_PROXY"}) environment.unset(name);
        for (const auto& [name, value] : c.environment) environment.set(name, value);
        platform::LogCapture log;
        EXPECT_EQ(HubEndpoint::proxyConfiguration(), c.expected);
        for (const auto& line : c.logLines) EXPECT_TRUE(log.contains(line, "DownloadUtils")) << line;
    }
}

TEST(HubEndpointProxyTest, HubRequestsGoThroughTheProxyNamedByHttpProxy) {
    // The shared session reads the environment once per process: the check runs in a fresh one.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    HubSandbox sandbox;
    sandbox.hub.addFile(vadId, "config.json", "{}");
    testsupport::LoopbackProxy proxy(R"([{"type": "file", "path": "proxied.json", "size": 2}])");
    const std::string expectedTarget = sandbox.hub.baseURL() + TestHub::listingPath(vadId);
    EXPECT_EXIT(
        {
            ::setenv("http_proxy", proxy.url().c_str(), 1);
            ::unsetenv("https_proxy");
            const auto files = HubListing::listRepoFiles(Repo::vad);
            const auto targets = proxy.requestTargets();
            const bool ok = files.size() == 1 && files[0].path == "proxied.json" && targets.size() == 1 &&
                            targets[0] == expectedTarget && sandbox.hub.requests().empty();
            std::fprintf(stderr, "proxy saw %zu request(s)%s%s\n", targets.size(), targets.empty() ? "" : ": ",
                         targets.empty() ? "" : targets[0].c_str());
            fs::remove_all(sandbox.root());  // no destructor runs after _Exit
            std::_Exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "proxy saw 1 request");
}
TEST(HubEndpointAddressTest, TheHubAddressComesFromTheEnvironment) {
    testsupport::ScopedEnvironment environment;
    environment.unset("RARIVOREDU_HUB_URL");
    EXPECT_EQ(HubEndpoint::hubBaseURL(), "https://huggingface.co");
    EXPECT_EQ(HubEndpoint::resolveURL(Repo::kokoro, "voices/af heart.json"),
              "https://huggingface.co/ViridErevidaro/kokoro-82m-coreml/resolve/main/voices/af%20heart.json");
    environment.set("RARIVOREDU_HUB_URL", "http://127.0.0.1:8080/mirror/");
    EXPECT_EQ(HubEndpoint::hubBaseURL(), "http://127.0.0.1:8080/mirror");
    for (const char* bad : {"ftp://hub.example", "hub.example", "https://hub.example/?q=1"}) {
        environment.set("RARIVOREDU_HUB_URL", bad);
        const NSError error = errorOf([] { HubEndpoint::hubBaseURL(); });
        EXPECT_EQ(error.code(), URLError::badURL) << bad;
    }
}

}  // namespace
