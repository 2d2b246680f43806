// How fast a body comes from a loopback server: a model-sized one streamed into a file (also
// through the continuable download, whole or its second half), a listing-sized one into memory; and how soon a transfer ends once cancelled while the server
// sends nothing.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "Platform/net/URLSession.h"
#include "Platform/system/CancellationToken.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

const std::string& body() {
    static const std::string bytes(64 << 20, '\x5a');
    return bytes;
}

std::atomic<int> silentRequests{0};

testsupport::LoopbackServer& server() {
    static testsupport::LoopbackServer instance([](httplib::Server& s) {
        s.Get("/small", [](const httplib::Request&, httplib::Response& r) {
            r.set_content(body().substr(0, 1 << 20), "application/octet-stream");
        });
        // One piece, then silence until the client goes away.
        s.Get("/silent", [](const httplib::Request&, httplib::Response& r) {
            r.set_chunked_content_provider("application/octet-stream", [](std::size_t offset, httplib::DataSink& sink) {
                if (offset == 0) {
                    sink.write("x", 1);
                    return true;
                }
                ++silentRequests;
                while (sink.is_writable()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
                return false;
            });
        });
        s.Get("/blob", [](const httplib::Request&, httplib::Response& r) {
            r.set_content_provider(body().size(), "application/octet-stream",
                                   [](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                       sink.write(body().data() + offset, std::min<std::size_t>(length, 1 << 20));
                                       return true;
                                   });
        });
    });
    return instance;
}

void BM_DownloadToFile(benchmark::State& state) {
    testsupport::TemporaryDirectory folder;
    const platform::URLSession session;
    for (auto _ : state) {
        auto [file, response] = session.download(platform::URLRequest{server().baseURL() + "/blob", 30}, folder.path());
        benchmark::DoNotOptimize(response.statusCode);
        std::filesystem::remove(file);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(body().size()));
}
BENCHMARK(BM_DownloadToFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same body through the continuable download: from its start (argument 0) or the second
// half after a partial file of the first (argument 1; a Range request answered with 206).
void BM_ResumeDownload(benchmark::State& state) {
    testsupport::TemporaryDirectory folder;
    const platform::URLSession session;
    const std::size_t kept = state.range(0) == 0 ? 0 : body().size() / 2;
    const auto partial = folder.path() / "blob.partial";
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(partial);
        if (kept > 0) {
            std::ofstream out(partial, std::ios::binary);
            out.write(body().data(), static_cast<std::streamsize>(kept));
        }
        state.ResumeTiming();
        auto response = session.resumeDownload(platform::URLRequest{server().baseURL() + "/blob", 30}, partial);
        benchmark::DoNotOptimize(response.statusCode);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(body().size() - kept));
}
BENCHMARK(BM_ResumeDownload)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DataIntoMemory(benchmark::State& state) {
    const platform::URLSession session;
    for (auto _ : state) {
        auto [data, response] = session.data(platform::URLRequest{server().baseURL() + "/small", 30});
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) << 20);
}
BENCHMARK(BM_DataIntoMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

// From cancel() to the transfer's return, the server silent throughout.
void BM_CancelSilentTransfer(benchmark::State& state) {
    testsupport::TemporaryDirectory folder;
    const platform::URLSession session;
    for (auto _ : state) {
        platform::CancellationToken token;
        const int before = silentRequests;
        std::thread transfer([&] {
            platform::CancellationToken::Scope scope(token);
            try {
                session.download(platform::URLRequest{server().baseURL() + "/silent", 600}, folder.path());
            } catch (const std::exception&) {
            }
        });
        while (silentRequests == before) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // Somewhere inside the transfer loop's wait, as a quit would find it.
        std::this_thread::sleep_for(std::chrono::milliseconds(37));
        const auto start = std::chrono::steady_clock::now();
        token.cancel();
        transfer.join();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}
BENCHMARK(BM_CancelSilentTransfer)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

}  // namespace
