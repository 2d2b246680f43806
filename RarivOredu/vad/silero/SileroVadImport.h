#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "RarivOredu/checkpoint/StateDict.h"

namespace rarivoredu {

class OnnxModel;

// Where a user's voice activity model comes from: Silero's own ONNX export of the network
// (v6.2, MIT licence), fetched from a pinned address of Silero's repository, checked against its
// pinned SHA-256 and turned into our compiled model "silero-vad-unified-256ms-v6.0.0.mlmodelc"
// in the repository folder of Repo::vad.
//
// The download of Repo::vad asks this import first. The address is $RARIVOREDU_VAD_ONNX_URL when
// that is set, else the pinned one; when a hub of our own bundles is configured
// ($RARIVOREDU_HUB_URL) and no ONNX address is, the import declines and the hub's bundles serve.
//
// Errors: a transfer's NSError passes through; a file of another digest is refused with
// CocoaError fileReadCorruptFile; an ONNX file that is not Silero's 16 kHz network with
// CheckpointError (missingTensor, wrongShape, or the reader's errors). The folder is built beside
// its place and moved in whole: a failed import leaves the models folder as it was.
class SileroVadImport {
public:
    SileroVadImport() = delete;

    static constexpr const char* pinnedURL =
        "https://raw.githubusercontent.com/snakers4/silero-vad/bfdc0193023f121ea5b3cc7b176dbed570a68a59/"
        "src/silero_vad/data/silero_vad.onnx";
    static constexpr const char* pinnedSHA256 = "1a153a22f4509e292a94e67d6f9b85e8deb25b4988682b7e174c65279d8788e3";
    static constexpr std::int64_t pinnedSize = 2327524;

    enum class Check {
        pinnedDigest,  // only the pinned file is accepted
        layoutOnly,    // any ONNX export with the network's tensors in their shapes
    };

    // Builds the repository folder `repoFolder` (<models directory>/silero-vad-coreml, where a
    // VadManager looks) from an ONNX file the user has, holding the folder's RepoLock.
    static void importFile(const std::filesystem::path& onnxFile, const std::filesystem::path& repoFolder,
                           Check check = Check::pinnedDigest);

    // The address the download fetches from; nothing when the configured hub serves bundles.
    static std::optional<std::string> sourceURL();
    // The importer the repository download calls: fetches sourceURL() and imports it; false,
    // having changed nothing, when there is no address to fetch.
    static bool importFromSource(const std::filesystem::path& repoFolder);

    // The tensors of SileroVadNetwork::layout() found in an ONNX export of the network: in the
    // branch of the graph's sample-rate test whose tensors have the 16 kHz shapes. A model whose
    // graphs hold no branch with all fifteen refuses with CheckpointError: missingTensor naming the
    // first tensor missing from the branch that comes closest, or wrongShape when a tensor of the
    // name has another shape.
    static StateDict readStateDict(const OnnxModel& model);
};

}  // namespace rarivoredu
