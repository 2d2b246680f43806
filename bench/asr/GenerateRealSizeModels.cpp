// Writes a random-weight recognition model set of the real size for the real-size benchmark:
//   bench_asr_generate_models <folder> fp32|int8 [tiny]
// `tiny` writes a one-layer network instead, to try the benchmark quickly. The set goes into <folder>/<version folder>, where AsrModels::load(<folder>/<version folder>)
// finds it. The float32 Encoder alone is about 2.4 GB. Beside the set goes the same encoder, from the
// same state dict, as an ONNX graph for ONNX Runtime's peer run: <folder>/Encoder.onnx (int8 as
// ONNX Runtime's dynamic quantisation writes it for the int8 set) and its weights Encoder.onnx.data.
#include <chrono>
#include <cstdio>
#include <string>

#include "RarivOredu/asr/AsrModelVersion.h"
#include "tests/support/asr/AsrNetworkModels.h"
#include "tests/support/asr/OnnxEncoderWriter.h"

int main(int argc, char** argv) {
    const std::string precision = argc == 3 || argc == 4 ? argv[2] : "";
    const bool tiny = argc == 4 && std::string(argv[3]) == "tiny";
    if ((precision != "fp32" && precision != "int8") || (argc == 4 && !tiny)) {
        std::fprintf(stderr, "usage: %s <folder> fp32|int8 [tiny]\n", argv[0]);
        return 2;
    }
    testsupport::AsrNetworkModels set;
    set.shape = tiny ? testsupport::AsrNetworkShape::tiny() : testsupport::AsrNetworkShape::realSize();
    set.precision = precision == "int8" ? testsupport::AsrNetworkModels::Precision::int8
                                        : testsupport::AsrNetworkModels::Precision::float32;
    const auto folder = std::filesystem::path(argv[1]) / std::string(folderName(rarivoredu::AsrModelVersion::v3));
    const auto start = std::chrono::steady_clock::now();
    set.write(folder);
    const auto onnx = std::filesystem::path(argv[1]) / "Encoder.onnx";
    const bool int8 = set.precision == testsupport::AsrNetworkModels::Precision::int8;
    testsupport::OnnxEncoderWriter(set.config()).write(onnx, rarivoredu::StateDict(set.stateDict()), int8);
    std::printf("wrote the %s set to %s in %.1f s\n", precision.c_str(), folder.c_str(),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return 0;
}
