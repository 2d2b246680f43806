#include <gtest/gtest.h>

#include <string>

#include "RarivOredu/asr/AsrModelsError.h"
#include "RarivOredu/asr/parakeet/ParakeetConfig.h"
#include "RarivOredu/checkpoint/TarArchive.h"
#include "tests/RarivOredu/asr/parakeet/TinyCheckpoint.h"

namespace {

using rarivoredu::AsrModelVersion;
using rarivoredu::ParakeetConfig;

std::string tinyYaml() {
    const auto archive = rarivoredu::TarArchive::open(testsupport::TinyCheckpoint::nemoFile());
    const auto* member = archive.find("model_config.yaml");
    return archive.region(*member).readBytes(0, member->size);
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    if (at == std::string::npos) throw std::runtime_error("no '" + from + "'");
    return text.replace(at, from.size(), to);
}

// The pieces of both vocabulary lists replaced by `count` made-up ones.
std::string withPieces(std::string yaml, int count) {
    for (const std::string key : {"labels:\n", "  vocabulary:\n"}) {
        const std::string indent = key[0] == ' ' ? "  " : "";
        const auto start = yaml.find(key) + key.size();
        auto end = start;
        while (yaml.compare(end, indent.size() + 2, indent + "- ") == 0) end = yaml.find('\n', end) + 1;
        std::string indented;
        for (int i = 0; i < count; ++i) indented += indent + "- p" + std::to_string(i) + "\n";
        yaml.replace(start, end - start, indented);
    }
    for (const std::string key : {"vocab_size: 40", "num_classes: 40"}) {
        yaml = replaced(yaml, key, key.substr(0, key.size() - 2) + std::to_string(count));
    }
    return yaml;
}

TEST(ParakeetConfigTest, ReadsTheShapeAndTheVersionFromTheVocabulary) {
    const ParakeetConfig tiny = ParakeetConfig::fromYaml(tinyYaml());
    EXPECT_EQ(tiny.layers, 2);
    EXPECT_EQ(tiny.modelWidth, 64);
    EXPECT_EQ(tiny.heads, 8);
    EXPECT_EQ(tiny.feedForwardWidth, 256);
    EXPECT_EQ(tiny.subsamplingChannels, 16);
    EXPECT_EQ(tiny.predictionWidth, 32);
    EXPECT_EQ(tiny.jointWidth, 32);
    EXPECT_EQ(tiny.blankId(), 40);
    EXPECT_EQ(tiny.jointOutputs(), 46);

    const ParakeetConfig v2 = ParakeetConfig::fromYaml(withPieces(tinyYaml(), 1024));
    EXPECT_EQ(v2.version(), AsrModelVersion::v2);
    EXPECT_EQ(v2.blankId(), 1024);
    const ParakeetConfig v3 = ParakeetConfig::fromYaml(withPieces(tinyYaml(), 8192));
    EXPECT_EQ(v3.version(), AsrModelVersion::v3);
    EXPECT_EQ(v3.blankId(), 8192);
}

// Keys the file may leave out take the family's value; written out, they must have it.
TEST(ParakeetConfigTest, OptionalKeysMustHoldTheFamilysValue) {
    struct Case {
        std::string from, to, message;
    };
    const Case cases[] = {
        {"  pad_to: 0\n", "  pad_to: 0\n  preemph: 0.97\n  mel_norm: slaney\n", ""},
        {"  pad_to: 0\n", "  pad_to: 0\n  preemph: 0.9\n", "preprocessor.preemph: expected 0.97, found 0.9"},
        {"  pad_to: 0\n", "  pad_to: 0\n  mel_norm: null\n", "preprocessor.mel_norm: expected slaney, found null"},
        {"  pad_to: 0\n", "  pad_to: 0\n  highfreq: 7600\n", "preprocessor.highfreq: expected null or 8000, found 7600"},
        {"  normalize: per_feature\n", "  normalize: all_features\n",
         "preprocessor.normalize: expected per_feature, found all_features"},
        {"  n_heads: 8\n", "  n_heads: 6\n", "encoder.n_heads: expected a divisor of encoder.d_model (64), found 6"},
        {"  d_model: 64\n", "  d_model: wide\n", "encoder.d_model: expected a positive whole number, found wide"},
        {"model_type: tdt", "model_type: rnnt", "decoding.model_type: expected tdt, found rnnt"},
        {"  - -1\n  - -1\n", "  - 70\n  - 13\n", "encoder.att_context_size: expected [-1, -1], found [70, 13]"},
        {"sample_rate: 16000\n", "sample_rate: [", "model_config.yaml is not readable YAML"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.to);
        const std::string yaml = replaced(tinyYaml(), c.from, c.to);
        if (c.message.empty()) {
            EXPECT_NO_THROW(ParakeetConfig::fromYaml(yaml));
            continue;
        }
        try {
            ParakeetConfig::fromYaml(yaml);
            ADD_FAILURE() << "accepted";
        } catch (const rarivoredu::AsrModelsError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

// Configurations a hostile checkpoint may carry: each is refused with the importer's own error
// naming the key, at once (before, some listed millions of tensors, hung expanding aliases, let a
// yaml-cpp error out or converted numbers out of their range).
TEST(ParakeetConfigTest, HostileConfigurationsAreRefusedNamingTheKey) {
    std::string aliases = "a0: &a0 [x, x]\n";
    for (int i = 1; i < 29; ++i)
        aliases += "a" + std::to_string(i) + ": &a" + std::to_string(i) + " [*a" + std::to_string(i - 1) + ", *a" +
                   std::to_string(i - 1) + "]\n";
    struct Case {
        std::string from, to, message;
    };
    const Case cases[] = {
        {"  n_layers: 2\n", "  n_layers: 1048576\n", "encoder.n_layers: expected at most 128, found 1048576"},
        {"  d_model: 64\n", "  d_model: 1000000\n", "encoder.d_model: expected at most 8192, found 1000000"},
        {"  ff_expansion_factor: 4\n", "  ff_expansion_factor: 1048576\n",
         "encoder.ff_expansion_factor: expected at most 512, found 1048576"},
        {"  normalize: per_feature\n", "", "preprocessor.normalize: expected per_feature, found nothing"},
        {"  xscaling: false\n", "", "encoder.xscaling: expected false, found nothing"},
        {"  - 0\n  - 1\n  - 2\n  - 3\n  - 4\n", "  - 1e300\n", "decoding.durations: expected a list of whole numbers"},
        {"  sample_rate: 16000\n  normalize", "  sample_rate: nan\n  normalize",
         "preprocessor.sample_rate: expected 16000, found nan"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.to);
        try {
            ParakeetConfig::fromYaml(replaced(tinyYaml(), c.from, c.to));
            ADD_FAILURE() << "accepted";
        } catch (const rarivoredu::AsrModelsError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
    // Aliases are not read: 29 nested ones stand for 2^29 values.
    try {
        ParakeetConfig::fromYaml(tinyYaml() + aliases);
        ADD_FAILURE() << "accepted";
    } catch (const rarivoredu::AsrModelsError& e) {
        EXPECT_NE(std::string(e.what()).find("model_config.yaml holds an alias at line"), std::string::npos) << e.what();
    }
    // Documents that start otherwise than a mapping: yaml-cpp 0.7 loops for ever on these.
    for (const std::string text : {",x", "\n  ,&i x", "# c\n,", "a: 1\n---\n,x", "x\n... ,x", "\xef\xbb\xbf,x", "!,",
                                   "!t x\n,", "\"x\"\n,", "[x]\n,", "x #c\n,", "\"a: b\"\n,"}) {
        SCOPED_TRACE(text);
        try {
            ParakeetConfig::fromYaml(text);
            ADD_FAILURE() << "accepted";
        } catch (const rarivoredu::AsrModelsError& e) {
            EXPECT_NE(std::string(e.what()).find("model_config.yaml does not hold a mapping"), std::string::npos) << e.what();
        }
    }
    // A vocabulary piece that is not UTF-8 could not be written into parakeet_vocab.json.
    try {
        ParakeetConfig::fromYaml(replaced(tinyYaml(), "  - he\n", "  - \xA7\n"));
        ADD_FAILURE() << "accepted";
    } catch (const rarivoredu::AsrModelsError& e) {
        EXPECT_NE(std::string(e.what()).find("joint.vocabulary: expected a list of at most 65536 token pieces"),
                  std::string::npos)
            << e.what();
    }
    // The vocabulary has its bound too.
    try {
        ParakeetConfig::fromYaml(withPieces(tinyYaml(), 70000));
        ADD_FAILURE() << "accepted";
    } catch (const rarivoredu::AsrModelsError& e) {
        EXPECT_NE(std::string(e.what()).find("expected a list of at most 65536 token pieces"), std::string::npos)
            << e.what();
    }
}

}  // namespace
