#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "Platform/ml/MLModel.h"
#include "RarivOredu/asr/AsrModels.h"
#include "tests/support/ModelBundleFiles.h"
#include "tests/support/asr/AsrFixtureScript.h"

namespace testsupport {

// A recognition model set that computes next to nothing, with the feature names and shapes of
// the real one, run in this process:
//  - Preprocessor: "audio_signal" [1, n] float32, "audio_length" [1] int32 → "mel" [1, T] (the
//    middle sample of each 1280-sample frame), "mel_length" [1] int32 (the audio length);
//  - Encoder: "mel", "mel_length" → "encoder" [1, 1024, T] (feature 0 of frame i is mel[i]),
//    "encoder_length" [1] int32 = ceil(mel_length / 1280);
//  - Decoder: "targets" [1, 1] int32, "target_length" [1] int32, "h_in"/"c_in" [2, 1, 640] →
//    "decoder" [1, 640, 1] (element 0 the token, element 1 the tokens fed so far), "h_out"
//    (element 0 counts the tokens fed since the state was zeroed, element 1 the last token),
//    "c_out" (element 0 counts the Decoder runs since the state was zeroed);
//  - JointDecision: "encoder_step" [1, 1024, 1], "decoder_step" [1, 640, 1] → "token_id",
//    "token_prob", "duration" [1, 1, 1], following the script (AsrFixtureScript).
// Feed it markedAudio so that it knows the recording's frames.
class AsrFixtureModels {
public:
    explicit AsrFixtureModels(AsrFixtureScript script);
    ~AsrFixtureModels();
    AsrFixtureModels(const AsrFixtureModels&) = delete;
    AsrFixtureModels& operator=(const AsrFixtureModels&) = delete;

    const platform::MLModelPtr& preprocessor() const noexcept { return preprocessor_; }
    const platform::MLModelPtr& encoder() const noexcept { return encoder_; }
    const platform::MLModelPtr& decoder() const noexcept { return decoder_; }
    const platform::MLModelPtr& joint() const noexcept { return joint_; }

    // Token id to text for every scripted token, plus any added with addWord.
    std::unordered_map<std::int64_t, std::string> vocabulary() const;
    void addWord(std::int64_t tokenId, std::string text);
    // The set as the recogniser takes it.
    rarivoredu::AsrModels asrModels(rarivoredu::AsrModelVersion version = rarivoredu::AsrModelVersion::v3) const;

    // The files of the four compiled-model folders, by folder name ("Encoder.mlmodelc"). The
    // bundles name in-process engines that this object serves while it lives.
    std::map<std::string, FileTree> bundles() const;
    // The vocabulary as "parakeet_vocab.json" holds it.
    std::string vocabularyJson() const;
    // Writes the four folders and "parakeet_vocab.json" into `folder`.
    void writeBundles(const std::filesystem::path& folder) const;
    // Writes a set of the same feature names and shapes as TorchScript modules, which any process
    // can load (the script plays no part): in every recording it hears the one word `text` as
    // token `tokenId` at the first frame, and blanks after it.
    void writeTorchScriptBundles(const std::filesystem::path& folder, std::int64_t tokenId, const std::string& text) const;

    // What the models saw.
    int preprocessorRuns() const;
    std::vector<int> audioLengths() const;        // "audio_length" of every Preprocessor run
    std::vector<int> audioSignalLengths() const;  // samples in "audio_signal" of every run
    int decoderRuns() const;
    std::vector<int> fedTokens() const;  // "targets" of every Decoder run
    int jointRuns() const;
    void clearObservations();

    // While set, the Decoder fails on token 0 (the token the recogniser primes a state with).
    void setFailOnPrimingToken(bool fail);

    // Called before every Decoder run with the token fed, and before every JointDecision run with
    // the recording frame it sees, on the thread that runs the model; empty to remove.
    void setDecoderHook(std::function<void(int token)> hook);
    void setJointHook(std::function<void(int frame)> hook);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    platform::MLModelPtr preprocessor_;
    platform::MLModelPtr encoder_;
    platform::MLModelPtr decoder_;
    platform::MLModelPtr joint_;
};

}  // namespace testsupport
