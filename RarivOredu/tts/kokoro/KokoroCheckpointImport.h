#pragma once

#include <filesystem>
#include <string>

#include <vector>

#include "RarivOredu/checkpoint/StateDict.h"

namespace rarivoredu {

class TorchCheckpoint;

// Turns the public Kokoro checkpoint (`kokoro-v1_0.pth`) and its `config.json` into the
// repository folder the synthesiser reads: both model bundles ("kokoro_21_5s.mlmodelc",
// "kokoro_21_15s.mlmodelc") and the vocabulary "vocab_index.json" (the config's `vocab`).
struct KokoroCheckpointImport {
    // AdaIN layers whose instance norm has no scale and shift in the checkpoint get 1 and 0, the
    // values upstream leaves them at when it loads such a checkpoint.
    // Writes the folder beside `target` and swaps it in whole: on any failure nothing at
    // `target` changes. Other files of `target` (voices, the lexicon) are carried over. Before the swap one prediction runs on the five-second bundle, so weights
    // of shapes the network cannot take are refused here and not at the first synthesis.
    // Throws CheckpointError: the reader's errors for a damaged file; missingTensor for a tensor
    // the network needs; malformed "Kokoro checkpoint entry '<name>'" for a tensor it does not
    // know, "config.json …" for a configuration without a usable vocabulary, and "Kokoro
    // checkpoint weights (…)" when the network does not run on them.
    static void importFolder(const std::filesystem::path& checkpoint, const std::filesystem::path& config,
                             const std::filesystem::path& target);
    // The same for weights already read and the text of config.json.
    static void importWeights(const StateDict& weights, const std::string& configText,
                              const std::filesystem::path& target);

    // The tensors of a Kokoro checkpoint by their module path ("decoder.generator.ups.0.weight_v"):
    // the five state dicts `bert`, `bert_encoder`, `predictor`, `text_encoder` and `decoder`
    // joined under their names, the "module." prefix of a data-parallel save removed, every tensor
    // read as float32. Weight-normed convolutions keep their `weight_g` / `weight_v` pair as read;
    // KokoroWeightNorm folds them. Throws CheckpointError: missingTensor when one of the five parts
    // is absent, malformed for a tensor outside them or not named as a module path.
    static StateDict readStateDict(const TorchCheckpoint& checkpoint);
    // The five state dicts of a checkpoint.
    static const std::vector<std::string>& parts();
};

}  // namespace rarivoredu
