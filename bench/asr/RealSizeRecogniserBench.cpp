// The recogniser on a model set of the real size, through the public API: AsrModels::load, then
// AsrManager::transcribe on 15 s and 60 s of speech-like audio.
//   bench_asr_real_size <folder written by bench_asr_generate_models> <label> [runs] [seconds,...]
// Prints the load time, the real-time factor (RTFx: audio seconds per second of work; the lowest
// and the median of `runs` runs after two warm-up runs), the process's CPU time over the wall time
// of those runs (how many cores were busy on average), the machine's load average as the runs
// ended, the time per model in one more set of runs with every model timed, minor page faults per
// run and per Encoder window, the resident memory when idle (models loaded, after the runs) and at
// its peak. Last come lines "summary <label> <seconds> <median s> <RTFx median> <cpu/wall> <load
// average> <idle RSS GB> <peak RSS GB> <Encoder median s> <Encoder cpu/wall>", one per length, for
// scripts to collect (the Encoder's figures are its own calls' in the same runs: the seconds of a
// transcription spent in it, and the cores busy meanwhile), and lines "windows <seconds>
// <mel frames>+<mel frames>..." with the Encoder's inputs of a transcription, which the peer runs
// of the same encoder repeat.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "Platform/ml/TorchScriptRuntime.h"
#include "RarivOredu/asr/AsrManager.h"
#include "RarivOredu/asr/AsrModels.h"
#include "bench/asr/TimedEngine.h"

namespace {

using Clock = std::chrono::steady_clock;
using benchasr::TimedEngine;
using rarivoredu::AsrManager;
using rarivoredu::AsrModels;

double since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Voiced syllables (a gliding pitch with ten harmonics, four syllables a second) over faint noise.
std::vector<float> speechLike(double seconds) {
    const auto n = static_cast<std::size_t>(seconds * 16000);
    std::vector<float> samples(n);
    double phase = 0;
    std::uint32_t noise = 12345;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / 16000.0;
        const double pitch = 140 + 40 * std::sin(2 * M_PI * 0.3 * t) + 15 * std::sin(2 * M_PI * 2.1 * t);
        phase += 2 * M_PI * pitch / 16000.0;
        double voiced = 0;
        for (int h = 1; h <= 10; ++h) voiced += std::sin(h * phase) / h;
        const double envelope = std::pow(std::max(0.0, std::sin(2 * M_PI * 2.0 * t + std::sin(t))), 2.0);
        noise = noise * 1664525u + 1013904223u;
        const double hiss = (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 0.02;
        samples[i] = static_cast<float>(0.15 * envelope * voiced + hiss);
    }
    return samples;
}

long minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

double peakResidentGB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / (1024.0 * 1024.0);
}

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The resident memory now (VmRSS), in GB.
double residentGB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / (1024.0 * 1024.0);
    }
    return 0;
}

// The one-minute load average.
double loadAverage() {
    double load = 0;
    std::ifstream("/proc/loadavg") >> load;
    return load;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Timed {
    std::shared_ptr<TimedEngine> preprocessor, encoder, decoder, joint;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <model set folder> <label> [runs] [seconds,... (default 15,60)]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder =
        std::filesystem::path(argv[1]) / std::string(folderName(rarivoredu::AsrModelVersion::v3));
    const std::string label = argv[2];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    std::vector<double> lengths;
    for (const char* p = argc > 4 ? argv[4] : "15,60"; *p != '\0';) {
        char* end = nullptr;
        const double seconds = std::strtod(p, &end);
        if (end == p || seconds <= 0) {
            std::fprintf(stderr, "%s: not a list of audio lengths in seconds: %s\n", argv[0], argv[4]);
            return 2;
        }
        lengths.push_back(seconds);
        p = *end == ',' ? end + 1 : end;
    }
    constexpr int warmUps = 2;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each line as it is measured

    try {
        const auto loadStart = Clock::now();
        const AsrModels models = AsrModels::load(folder);
        const double loadSeconds = since(loadStart);
        const double loadedGB = peakResidentGB();

        // The Encoder's own time in the runs of the table: one clock read around each call.
        std::shared_ptr<TimedEngine> encoderClock;
        AsrModels clockedModels = models;
        clockedModels.encoder = TimedEngine::wrap(models.encoder, encoderClock);

        AsrManager manager;
        manager.initialize(clockedModels);

        Timed timed;
        AsrModels timedModels = models;
        timedModels.preprocessor = TimedEngine::wrap(models.preprocessor, timed.preprocessor);
        timedModels.encoder = TimedEngine::wrap(models.encoder, timed.encoder);
        timedModels.decoder = TimedEngine::wrap(models.decoder, timed.decoder);
        timedModels.joint = TimedEngine::wrap(models.joint, timed.joint);

        std::printf("\n%s: %s\n", label.c_str(), folder.c_str());
        std::printf("BLAS: %s\n", platform::TorchScriptRuntime::shared().blasDescription().c_str());
        std::printf("load: %.2f s (AsrModels::load), peak RSS after loading %.2f GB, resident %.2f GB\n\n", loadSeconds,
                    loadedGB, residentGB());
        std::printf("%-6s %5s %9s %11s %9s %8s %5s | %8s %8s %8s %8s %8s | %7s %6s %6s %9s\n", "audio", "runs", "RTFx min",
                    "RTFx median", "s median", "cpu/wall", "load", "preproc", "encoder", "decoder", "joint", "rest", "windows",
                    "steps", "tokens", "minflt");

        struct Summary {
            double seconds, medianSeconds, busyCores, load, encoderSeconds, encoderBusyCores;
            std::string windows;
        };
        std::vector<Summary> summaries;
        std::string encoderWindows;
        for (const double seconds : lengths) {
            const auto audio = speechLike(seconds);
            manager.initialize(clockedModels);
            std::vector<double> times, faults, cpuTimes, encoderTimes;
            double encoderWall = 0, encoderCpu = 0;
            std::string encoderInputs;
            std::size_t tokens = 0;
            for (int i = 0; i < warmUps + runs; ++i) {
                const long faultsBefore = minorFaults();
                const double cpuBefore = processCpuSeconds();
                encoderClock->reset();
                const auto start = Clock::now();
                const auto result = manager.transcribe(audio);
                const double elapsed = since(start);
                const double cpu = processCpuSeconds() - cpuBefore;
                if (i < warmUps) continue;
                encoderTimes.push_back(encoderClock->seconds());
                encoderWall += encoderClock->seconds(), encoderCpu += encoderClock->cpuSeconds();
                encoderInputs.clear();
                for (const long frames : encoderClock->callFrames()) {
                    encoderInputs += (encoderInputs.empty() ? "" : "+") + std::to_string(frames);
                }
                times.push_back(elapsed);
                cpuTimes.push_back(cpu);
                faults.push_back(static_cast<double>(minorFaults() - faultsBefore));
                tokens = result.tokenTimings ? result.tokenTimings->size() : 0;
            }

            // The same runs with every model timed; the fastest run's split is shown.
            manager.initialize(timedModels);
            double best = 1e300, pre = 0, enc = 0, dec = 0, joi = 0, total = 0;
            long windows = 0, steps = 0;
            std::string windowText;
            for (int i = 0; i < std::min(runs, 3); ++i) {
                for (auto* e : {&timed.preprocessor, &timed.encoder, &timed.decoder, &timed.joint}) (*e)->reset();
                const auto start = Clock::now();
                manager.transcribe(audio);
                const double elapsed = since(start);
                if (elapsed < best) {
                    best = elapsed, total = elapsed, pre = timed.preprocessor->seconds(), enc = timed.encoder->seconds();
                    dec = timed.decoder->seconds(), joi = timed.joint->seconds(), windows = timed.encoder->calls(), steps = timed.joint->calls();
                    windowText.clear();
                    for (std::size_t w = 0; w < timed.encoder->callSeconds().size(); ++w) {
                        char text[48];
                        std::snprintf(text, sizeof text, " %.3f s/%ld", timed.encoder->callSeconds()[w],
                                      timed.encoder->callFaults()[w]);
                        windowText += text;
                    }
                }
            }
            const double slowest = *std::max_element(times.begin(), times.end());
            double wallSum = 0, cpuSum = 0;
            for (std::size_t r = 0; r < times.size(); ++r) wallSum += times[r], cpuSum += cpuTimes[r];
            const double busyCores = cpuSum / wallSum;
            const double load = loadAverage();
            std::printf("%4.0f s %5d %9.1f %11.1f %9.3f %8.2f %5.1f | %8.3f %8.3f %8.3f %8.3f %8.3f | %7ld %6ld %6zu %9.0f\n",
                        seconds, runs, seconds / slowest, seconds / median(times), median(times), busyCores, load, pre, enc,
                        dec, joi, total - pre - enc - dec - joi, windows, steps, tokens, median(faults));
            summaries.push_back({seconds, median(times), busyCores, load, median(encoderTimes),
                                 encoderWall > 0 ? encoderCpu / encoderWall : 0, encoderInputs});
            encoderWindows += "  " + std::to_string(static_cast<int>(seconds)) + " s:" + windowText + "\n";
        }
        std::printf("\nencoder windows of the fastest timed run (time/minor faults):\n%s", encoderWindows.c_str());
        const double idle = residentGB(), peak = peakResidentGB();
        std::printf("\nRSS idle (models loaded, after the runs): %.2f GB, peak: %.2f GB\n", idle, peak);
        for (const auto& s : summaries) {
            std::printf("summary %s %.0f %.3f %.1f %.2f %.1f %.2f %.2f %.3f %.2f\n", label.c_str(), s.seconds,
                        s.medianSeconds, s.seconds / s.medianSeconds, s.busyCores, s.load, idle, peak, s.encoderSeconds,
                        s.encoderBusyCores);
            std::printf("windows %.0f %s\n", s.seconds, s.windows.c_str());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", label.c_str(), e.what());
        return 1;
    }
    return 0;
}
