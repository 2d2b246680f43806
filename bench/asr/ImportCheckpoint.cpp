// Times an import of a checkpoint file and reports the process's peak memory:
//   bench_asr_import <file.nemo> <version folder> [int8]
// For a real-size file (2.4 GB) the folder takes about as much again.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "RarivOredu/asr/parakeet/ParakeetImporter.h"

int main(int argc, char** argv) {
    if (argc != 3 && !(argc == 4 && std::string(argv[3]) == "int8")) {
        std::fprintf(stderr, "usage: %s <file.nemo> <version folder> [int8]\n", argv[0]);
        return 2;
    }
    rarivoredu::ParakeetImportOptions options;
    options.int8Encoder = argc == 4;
    const auto start = std::chrono::steady_clock::now();
    std::string lastStep;
    try {
        rarivoredu::ParakeetImporter::importNemo(argv[1], argv[2], options, [&](std::string_view step, double fraction) {
            if (step != lastStep) {
                std::printf("%6.1f s  %-12.*s %5.1f %%\n",
                            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                            static_cast<int>(step.size()), step.data(), 100 * fraction);
                lastStep = step;
            }
        });
    } catch (const std::exception& e) {
        std::fprintf(stderr, "import failed: %s\n", e.what());
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("imported %s (%s) in %.1f s, peak RSS %.2f GB\n", argv[1], options.int8Encoder ? "int8" : "fp32",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                static_cast<double>(usage.ru_maxrss) / (1024.0 * 1024.0));
    return 0;
}
