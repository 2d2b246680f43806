// How fast a body comes from a loopback server: a model-sized one streamed into a file, a
// listing-sized one into memory.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "Platform/net/URLSession.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

const std::string& body() {
    static const std::string bytes(64 << 20, '\x5a');
    return bytes;
}

testsupport::LoopbackServer& server() {
    static testsupport::LoopbackServer instance([](httplib::Server& s) {
        s.Get("/small", [](const httplib::Request&, httplib::Response& r) {
            r.set_content(body().substr(0, 1 << 20), "application/octet-stream");
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

void BM_DataIntoMemory(benchmark::State& state) {
    const platform::URLSession session;
    for (auto _ : state) {
        auto [data, response] = session.data(platform::URLRequest{server().baseURL() + "/small", 30});
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) << 20);
}
BENCHMARK(BM_DataIntoMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
