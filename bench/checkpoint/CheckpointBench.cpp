// Reading a torch.save checkpoint that lies inside a tar archive, as model imports do: opening
// (directory and pickle) and converting every tensor in turn. The counter peakMiB is how far the
// resident set grew above what it was after opening while all tensors were converted one at a
// time: it should stay near the largest tensor (16 MiB here), not the file (140 MiB).

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "RarivOredu/checkpoint/TarArchive.h"
#include "RarivOredu/checkpoint/TorchCheckpoint.h"
#include "tests/RarivOredu/checkpoint/ArchiveBytes.h"

namespace {

using namespace rarivoredu;

constexpr int tensorCount = 32;
constexpr int largest = 4 << 20;  // elements of the first tensor (16 MiB of float32)
constexpr int others = 1 << 20;   // 4 MiB each

std::string binint(int value) {
    std::string out = "J";
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((static_cast<unsigned>(value) >> (8 * i)) & 0xff));
    return out;
}

std::string text(const std::string& value) {
    std::string out = "X";
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value.size() >> (8 * i)) & 0xff));
    return out + value;
}

int elementsOf(int index) { return index == 0 ? largest : others; }

// "w<i>": a float32 tensor [rows, 1024] over storage <i>.
std::string pickle() {
    std::string out =
        "\x80\x02"
        "ccollections\nOrderedDict\n)R(";
    for (int i = 0; i < tensorCount; ++i) {
        const int elements = elementsOf(i);
        out += text("layers." + std::to_string(i) + ".weight");
        out += "ctorch._utils\n_rebuild_tensor_v2\n((" + text("storage") + "ctorch\nFloatStorage\n" +
               text(std::to_string(i)) + text("cpu") + binint(elements) + "tQ" + binint(0) + binint(elements / 1024) +
               binint(1024) + "\x86" + binint(1024) + binint(1) + "\x86" + "\x89" + "N" + "tR";
    }
    return out + "u.";
}

const std::filesystem::path& archivePath() {
    static const std::filesystem::path path = [] {
        const char* base = std::getenv("TMPDIR");
        const std::filesystem::path file = std::filesystem::path(base && *base ? base : "/tmp") /
                                           ("bench-checkpoint-" + std::to_string(::getpid()) + ".nemo");
        std::vector<checkpointtest::ZipRecord> records{{"model_weights/data.pkl", pickle()}};
        for (int i = 0; i < tensorCount; ++i) {
            std::string data(static_cast<std::size_t>(elementsOf(i)) * 4, '\0');
            for (std::size_t j = 0; j < data.size(); j += 4) data[j + 2] = static_cast<char>(0x80 | (j & 0x7f));
            records.push_back({"model_weights/data/" + std::to_string(i), std::move(data)});
        }
        const std::string zip = checkpointtest::zipArchive(records);
        std::ofstream out(file, std::ios::binary);
        const std::string config = checkpointtest::tarMember("./model_config.yaml", "sample_rate: 16000\n");
        out << config << checkpointtest::tarHeader({"./model_weights.ckpt", zip.size(), '0', "", false})
            << checkpointtest::padded(zip) << checkpointtest::tarEnd();
        return file;
    }();
    return path;
}

FileRegion weights() {
    const TarArchive archive = TarArchive::open(archivePath());
    return archive.region(*archive.find("model_weights.ckpt"));
}

// Kilobytes of the resident set's high-water mark since the last reset.
long peakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

void BM_OpenCheckpointInArchive(benchmark::State& state) {
    archivePath();
    for (auto _ : state) {
        const TorchCheckpoint checkpoint = TorchCheckpoint::open(weights());
        benchmark::DoNotOptimize(checkpoint.tensors().size());
    }
}
BENCHMARK(BM_OpenCheckpointInArchive)->Unit(benchmark::kMillisecond);

void BM_ConvertEveryTensor(benchmark::State& state) {
    archivePath();
    const TorchCheckpoint checkpoint = TorchCheckpoint::open(weights());
    resetPeak();
    const long baseline = residentKiB();
    std::int64_t bytes = 0;
    for (auto _ : state) {
        for (const auto& [name, tensor] : checkpoint.tensors()) {
            const auto array = tensor.toFloat32();
            benchmark::DoNotOptimize(array->data<float>()[0]);
            bytes += array->count() * 4;
        }
    }
    state.SetBytesProcessed(bytes);
    state.counters["peakMiB"] = static_cast<double>(peakKiB() - baseline) / 1024.0;
}
BENCHMARK(BM_ConvertEveryTensor)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // Large blocks always mapped and unmapped: the resident set then follows the live arrays
    // instead of what the allocator keeps for later.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove(archivePath(), ignored);
    return 0;
}
