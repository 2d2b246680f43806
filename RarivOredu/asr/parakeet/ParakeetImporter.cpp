#include "RarivOredu/asr/parakeet/ParakeetImporter.h"

#include <fstream>
#include <optional>

#include "Platform/system/CancellationToken.h"
#include "Platform/system/NSError.h"
#include "RarivOredu/asr/AsrModelsError.h"
#include "RarivOredu/asr/parakeet/ParakeetNetwork.h"
#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/StateDict.h"
#include "RarivOredu/checkpoint/TarArchive.h"
#include "RarivOredu/checkpoint/TorchCheckpoint.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/ModelStore.h"
#include "RarivOredu/shared/RepoLock.h"
#include "RarivOredu/shared/StagedModelFolder.h"

namespace rarivoredu {
namespace fs = std::filesystem;
using Module = ParakeetNetwork::Module;

namespace {

const AppLogger& logger() {
    static const AppLogger instance("ParakeetImporter");
    return instance;
}

constexpr std::uint64_t kLargestConfig = 64ull << 20;

// What a checkpoint file holds, read without its tensor data.
struct OpenedCheckpoint {
    TarArchive archive;
    ParakeetConfig config;
    TorchCheckpoint weights;
};

const TarArchive::Member& requireMember(const TarArchive& archive, const char* name) {
    const TarArchive::Member* member = archive.find(name);
    if (member == nullptr || member->type != TarArchive::Member::Type::file) {
        throw AsrModelsError::loadingFailed(archive.path().string() + " is not a model checkpoint: it holds no " + name);
    }
    return *member;
}

OpenedCheckpoint openCheckpoint(const fs::path& nemoFile) {
    TarArchive archive = TarArchive::open(nemoFile);
    const auto& configMember = requireMember(archive, "model_config.yaml");
    if (configMember.size > kLargestConfig) {
        throw AsrModelsError::loadingFailed(nemoFile.string() + " is not a model checkpoint: its model_config.yaml is too large");
    }
    const std::string yaml = archive.region(configMember).readBytes(0, static_cast<std::size_t>(configMember.size));
    ParakeetConfig config = ParakeetConfig::fromYaml(yaml);
    TorchCheckpoint weights = TorchCheckpoint::open(archive.region(requireMember(archive, "model_weights.ckpt")));
    return {std::move(archive), std::move(config), std::move(weights)};
}

// Every tensor of the state dict is there with the shape the configuration implies, before
// anything is written.
void checkTensors(const ParakeetNetwork& network, const TorchCheckpoint& weights) {
    for (const auto& spec : network.allTensors()) {
        const TensorRecord& record = weights.require(spec.name, spec.shape);
        const bool integer = record.dtype == TensorRecord::DType::int64 || record.dtype == TensorRecord::DType::int32;
        if (spec.integer != integer && record.dtype != TensorRecord::DType::float16 &&
            record.dtype != TensorRecord::DType::bfloat16 && record.dtype != TensorRecord::DType::float64) {
            throw CheckpointError::unsupported(spec.name + " holds " + TensorRecord::name(record.dtype) + " values");
        }
    }
}

// Bytes the written bundles take: the tensors as float32, int8 for the Encoder's linear weights
// when asked, and a margin for the module code and the archive records.
std::uint64_t bundleBytes(const ParakeetNetwork& network, const ParakeetImportOptions& options) {
    std::uint64_t bytes = 0;
    for (const Module module : ParakeetNetwork::modules) {
        for (const auto& spec : network.tensors(module)) {
            std::uint64_t count = 1;
            for (const auto d : spec.shape) count *= static_cast<std::uint64_t>(d);
            const bool int8 = module == Module::encoder && options.int8Encoder && spec.shape.size() >= 2 &&
                              spec.name.find("depthwise") == std::string::npos &&
                              spec.name.find("pos_bias") == std::string::npos &&
                              spec.name.find("conv.0.") == std::string::npos &&
                              spec.name.find("conv.2.") == std::string::npos &&
                              spec.name.find("conv.5.") == std::string::npos;
            bytes += count * (int8 ? 1 : 4) + 64;
            if (int8) bytes += spec.shape[0] * 12;  // scales and zero points per output channel
        }
    }
    return bytes + bytes / 100 + (16u << 20);
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) throw AsrModelsError::loadingFailed("Could not write " + path.string());
}

}  // namespace

std::uint64_t ParakeetImporter::requiredSpace(const fs::path& nemoFile, const ParakeetImportOptions& options) {
    const OpenedCheckpoint checkpoint = openCheckpoint(nemoFile);
    return bundleBytes(ParakeetNetwork(checkpoint.config), options);
}

AsrModelVersion ParakeetImporter::importNemo(const fs::path& nemoFile, const fs::path& versionFolder,
                                             const ParakeetImportOptions& options, const Progress& progress) {
    auto report = [&progress](std::string_view step, double fraction) {
        if (progress) progress(step, fraction);
    };
    report("reading", 0.0);
    logger().info("Importing " + nemoFile.string() + " into " + versionFolder.string());
    const OpenedCheckpoint checkpoint = openCheckpoint(nemoFile);
    const ParakeetNetwork network(checkpoint.config);
    const AsrModelVersion version = checkpoint.config.version();
    const std::string folder = versionFolder.filename().string();
    for (const AsrModelVersion other : {AsrModelVersion::v2, AsrModelVersion::v3}) {
        if (other != version && folder == folderName(other)) {
            throw AsrModelsError::loadingFailed(nemoFile.string() + " holds the model " +
                                                std::string(folderName(version)) + ", not " + folder);
        }
    }
    checkTensors(network, checkpoint.weights);
    platform::CancellationToken::checkCancellation();

    fs::create_directories(versionFolder.parent_path());
    const std::uint64_t needed = bundleBytes(network, options);
    ModelStore::requireSpace(versionFolder.parent_path(), needed);

    const RepoLock lock(versionFolder);
    StagedModelFolder stage(versionFolder);

    // Progress by the share of the tensors' elements converted so far.
    std::uint64_t total = 0;
    for (const Module module : ParakeetNetwork::modules) {
        for (const auto& spec : network.tensors(module)) total += static_cast<std::uint64_t>(checkpoint.weights.find(spec.name)->numel());
    }
    constexpr double kReading = 0.02, kVocabulary = 0.99;
    std::uint64_t done = 0;
    std::string_view step;
    // The checkpoint's tensors, read as the network asks for them; the state dict borrows the
    // checkpoint, which outlives every write below.
    StateDict source(std::shared_ptr<const TorchCheckpoint>(&checkpoint.weights, [](const TorchCheckpoint*) {}));
    source.setReadObserver([&](const std::string&, std::int64_t elements) {
        platform::CancellationToken::checkCancellation();
        done += static_cast<std::uint64_t>(elements);
        report(step, kReading + (kVocabulary - kReading) * static_cast<double>(done) / static_cast<double>(total));
    });
    ParakeetNetwork::Options networkOptions;
    networkOptions.int8Encoder = options.int8Encoder;
    const std::pair<Module, std::string_view> steps[] = {{Module::preprocessor, "preprocessor"},
                                                         {Module::encoder, "encoder"},
                                                         {Module::decoder, "decoder"},
                                                         {Module::joint, "joint"}};
    for (const auto& [module, name] : steps) {
        step = name;
        report(step, kReading + (kVocabulary - kReading) * static_cast<double>(done) / static_cast<double>(total));
        try {
            network.write(module, stage.path() / ParakeetNetwork::bundleName(module), source, networkOptions);
        } catch (const platform::NSError& error) {
            if (platform::CancellationToken::currentIsCancelled()) throw;
            throw AsrModelsError::loadingFailed("Could not write " + ParakeetNetwork::bundleName(module) + " into " +
                                                stage.path().string() + ": " + error.what());
        }
        platform::CancellationToken::checkCancellation();
    }
    report("vocabulary", kVocabulary);
    writeText(stage.path() / "parakeet_vocab.json", network.vocabularyJson());
    platform::CancellationToken::checkCancellation();
    stage.commit();
    report("vocabulary", 1.0);
    logger().info("Imported " + std::string(folderName(version)) + " into " + versionFolder.string());
    return version;
}

}  // namespace rarivoredu
