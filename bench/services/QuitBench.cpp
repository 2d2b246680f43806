// How long destroying the dictation service takes while it downloads the speech models from a hub
// that has gone silent: the time a quit waits for the worker, whose transfer would otherwise sit
// out its half-hour idle time-out.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "Parloquin/services/TranscriptionService.h"
#include "Platform/system/UserDefaults.h"
#include "tests/support/FakeAudioHardware.h"
#include "tests/support/HubSandbox.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/asr/AsrFixtureModels.h"

namespace {

void BM_QuitDuringModelDownload(benchmark::State& state) {
    testsupport::AsrFixtureModels models(testsupport::AsrFixtureScript::of({{2, 11, "\xE2\x96\x81Hallo"}}));
    for (auto _ : state) {
        testsupport::HubSandbox sandbox;
        testsupport::ScopedEnvironment environment;
        environment.set("XDG_DATA_HOME", sandbox.root().string());
        const std::string repoId = "ViridErevidaro/parakeet-tdt-0.6b-v3-coreml";
        for (const auto& [name, files] : models.bundles()) sandbox.hub.addFiles(repoId, name, files);
        sandbox.hub.setFileFault(repoId, "Encoder.mlmodelc/coremldata.bin", testsupport::TestHub::Fault::stall());
        platform::UserDefaults defaults(sandbox.root() / "defaults.json");
        parloquin::TranscriptionEnvironment services;
        services.defaults = &defaults;
        services.audioHardware = testsupport::FakeAudioHardware::make();
        auto service = std::make_unique<parloquin::TranscriptionService>(
            parloquin::TranscriptionService::defaultAsrInitializer(), services);
        service->initialize();
        sandbox.hub.waitForStalls(1);

        const auto start = std::chrono::steady_clock::now();
        service.reset();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}
BENCHMARK(BM_QuitDuringModelDownload)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
