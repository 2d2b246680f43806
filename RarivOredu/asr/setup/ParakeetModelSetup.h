#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

#include "RarivOredu/asr/AsrModelVersion.h"
#include "RarivOredu/asr/parakeet/ParakeetImporter.h"
#include "RarivOredu/shared/UpstreamImport.h"

namespace rarivoredu {

// Makes a TDT version folder from NVIDIA's public checkpoint: on a first start through the hub
// (nvidia/parakeet-tdt-0.6b-v3 / parakeet-tdt-0.6b-v3.nemo, and v2 likewise), or from a .nemo
// file the user already has.
//
// The hub import (hubImporter) is what the callers that fetch a TDT version hand to
// AsrModels::download and AsrModels::load, which ask it first. It checks the free space, downloads the checkpoint into
// "<models directory>/.downloads/" (continued where it stopped when an earlier start was ended;
// size and SHA-256 as the hub lists them), converts it into the version folder, which appears
// whole or not at all, and removes the download. A hub without the upstream repository (404)
// is declined, so that a hub serving our bundles in their own layout still serves. Progress goes
// to the thread's ModelLoadProgress scope; a cancelled platform::CancellationToken stops the
// download (the partial file stays for the next start) or the conversion (nothing is left of
// it; the downloaded checkpoint stays). Failures: ModelStorageError when the disk is too small,
// the platform's NSError for the hub and the files, ModelSourceError when the download is not
// the listed file or the importer refuses the checkpoint (neither is mended by trying again);
// importFile throws the importer's own CheckpointError / AsrModelsError.
class ParakeetModelSetup {
public:
    ParakeetModelSetup() = delete;

    // Seams for tests: how free space is measured and how a checkpoint is converted.
    struct Options {
        std::function<std::uint64_t(const std::filesystem::path&)> availableBytes;  // ModelStore's
        std::function<AsrModelVersion(const std::filesystem::path& nemoFile, const std::filesystem::path& versionFolder,
                                      const ParakeetImporter::Progress& progress)>
            importNemo;  // ParakeetImporter::importNemo
        std::function<std::uint64_t(const std::filesystem::path& nemoFile)> requiredSpace;  // the importer's
    };

    // The hub repository and the file of a version's checkpoint.
    static std::string_view upstreamRepoId(AsrModelVersion version) noexcept;
    static std::string_view upstreamFileName(AsrModelVersion version) noexcept;

    // The hub import of one version as the importer its downloads ask first (importFromHub).
    static UpstreamImport::Importer hubImporter(AsrModelVersion version, Options options = {});
    // The hub import of one version into its folder; false, having changed nothing, when the
    // hub holds no such checkpoint.
    static bool importFromHub(AsrModelVersion version, const std::filesystem::path& versionFolder,
                              const Options& options = {});

    struct Imported {
        AsrModelVersion version;
        std::filesystem::path folder;
    };
    // Converts a .nemo file the user has into the folder of the version it holds, below
    // `modelsDirectory`; a folder there is replaced only once the new one is whole.
    static Imported importFile(const std::filesystem::path& nemoFile, const std::filesystem::path& modelsDirectory,
                               const Options& options = {});

    // Where the hub import keeps its downloads.
    static std::filesystem::path downloadsFolder(const std::filesystem::path& modelsDirectory);
    // The bytes the converted folder of a checkpoint of that size will take, before the
    // checkpoint is here to be measured: its weights are written again, in the same precision.
    static std::uint64_t estimatedFolderBytes(std::uint64_t checkpointBytes) noexcept;
};

}  // namespace rarivoredu
