#include "RarivOredu/tts/TtsModels.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <mutex>
#include <stdexcept>

#include "Platform/log/LogCapture.h"
#include "Platform/ml/InProcessEngine.h"
#include "RarivOredu/shared/RepoLock.h"
#include "RarivOredu/tts/KokoroModelCache.h"
#include "RarivOredu/tts/KokoroModelProbes.h"
#include "RarivOredu/tts/TTSError.h"
#include "tests/RarivOredu/tts/TtsEngineTestSupport.h"
#include "tests/support/FixtureFeatures.h"

namespace rarivoredu {
namespace {

using platform::MLFeatureDescription;
using platform::MLModelDescription;
using platform::MLMultiArrayDataType;
using Variant = ModelNames::TTS::Variant;
using testsupport::arrayFeature;

// A model with the given inputs that notes the shape of every input it is given.
struct ShapeRecordingModel {
    std::map<std::string, platform::MLMultiArray::Shape> seen;
    bool fail = false;
    platform::MLModelPtr model;

    explicit ShapeRecordingModel(std::vector<MLFeatureDescription> inputs) {
        MLModelDescription description;
        description.inputs = std::move(inputs);
        model = platform::MLModel::withEngine(
            std::make_shared<platform::InProcessEngine>([this](const platform::MLFeatureProvider& in) {
                for (const auto& name : in.featureNames()) seen[name] = in.featureValueForName(name)->multiArrayValue()->shape();
                if (fail) throw std::runtime_error("no warm-up today");
                return platform::MLDictionaryFeatureProvider::Dictionary{};
            }),
            description);
    }
};

MLFeatureDescription unshaped(const std::string& name, MLMultiArrayDataType type) {
    MLFeatureDescription feature;
    feature.name = name;
    feature.multiArrayConstraint = platform::MLMultiArrayConstraint{type, {}, {}};
    return feature;
}

TEST(TtsModelsTest, ProbesReadTheSizesTheModelDeclares) {
    struct Case {
        const char* name;
        std::vector<MLFeatureDescription> inputs;
        int capacity;
        int style;
    };
    const Case cases[] = {
        {"declared", {arrayFeature("input_ids", {1, 249}, MLMultiArrayDataType::int32), arrayFeature("ref_s", {1, 128})}, 249, 128},
        {"no shapes", {unshaped("input_ids", MLMultiArrayDataType::int32), unshaped("ref_s", MLMultiArrayDataType::float32)}, 124, 256},
        {"one dimension", {arrayFeature("input_ids", {249}, MLMultiArrayDataType::int32), arrayFeature("ref_s", {128})}, 124, 256},
        {"not positive", {arrayFeature("input_ids", {1, 0}, MLMultiArrayDataType::int32), arrayFeature("ref_s", {1, -1})}, 124, 256},
        {"missing", {}, 124, 256},
    };
    for (const Case& c : cases) {
        const ShapeRecordingModel recording(c.inputs);
        EXPECT_EQ(KokoroSynthesizer::inputIdsCapacity(*recording.model), c.capacity) << c.name;
        EXPECT_EQ(KokoroSynthesizer::refSDimension(*recording.model), c.style) << c.name;
    }
}

TEST(TtsModelsTest, AWarmUpFeedsInputsOfTheDeclaredSizesAndOnlyWarnsWhenItFails) {
    ShapeRecordingModel declared({arrayFeature("input_ids", {1, 30}, MLMultiArrayDataType::int32),
                                  arrayFeature("random_phases", {2, 5})});
    TtsModels::warmUp(*declared.model, Variant::fiveSecond);
    EXPECT_EQ(declared.seen, (std::map<std::string, platform::MLMultiArray::Shape>{
                                 {"input_ids", {1, 30}}, {"attention_mask", {1, 30}}, {"ref_s", {1, 256}}, {"random_phases", {2, 5}}}));

    ShapeRecordingModel bare({unshaped("random_phases", MLMultiArrayDataType::float32)});
    bare.fail = true;
    platform::LogCapture log;
    TtsModels::warmUp(*bare.model, Variant::fifteenSecond);
    EXPECT_EQ(bare.seen.at("random_phases"), (platform::MLMultiArray::Shape{1, 9}));
    EXPECT_EQ(log.matching("Warm-up prediction failed for variant 15s: ", "TtsModels").size(), 1u);
}

class TtsModelsDownloadTest : public ::testing::Test {
protected:
    std::vector<std::string> warmUpOrder() const {
        std::vector<std::string> order;
        for (const auto& entry : log.matching("Warm-up completed for ", "TtsModels")) {
            const std::size_t start = std::string("Warm-up completed for ").size();
            order.push_back(entry.message.substr(start, entry.message.find(" in ") - start));
        }
        return order;
    }

    ttstest::SynthesisSandbox synthesis;
    platform::LogCapture log;
};

TEST_F(TtsModelsDownloadTest, DownloadLoadsAndWarmsUpTheRequestedVariantsInTheirOrder) {
    TtsModels both = TtsModels::download();
    EXPECT_EQ(both.availableVariants(), (std::set<Variant>{Variant::fiveSecond, Variant::fifteenSecond}));
    EXPECT_EQ(warmUpOrder(), (std::vector<std::string>{"5s", "15s"}));
    EXPECT_EQ(synthesis.models.predictions(Variant::fiveSecond), 1);
    EXPECT_TRUE(std::filesystem::exists(synthesis.kokoroFolder() / "kokoro_21_15s.mlmodelc" / "coremldata.bin"));
    log.clear();
    TtsModels::download(std::set<Variant>{Variant::fiveSecond, Variant::fifteenSecond});
    EXPECT_EQ(warmUpOrder(), (std::vector<std::string>{"15s", "5s"}));
    log.clear();
    EXPECT_EQ(TtsModels::download(std::set<Variant>{Variant::fiveSecond}).availableVariants(),
              std::set<Variant>{Variant::fiveSecond});
    EXPECT_EQ(warmUpOrder(), (std::vector<std::string>{"5s"}));
}

TEST_F(TtsModelsDownloadTest, TheRepositoryIsFreeWhileTheModelsWarmUp) {
    // Whether another process could take the repository's lock, asked at every warm-up prediction.
    const std::string lockFile = RepoLock::lockFilePath(synthesis.kokoroFolder()).string();
    std::mutex lock;
    std::vector<bool> free;
    synthesis.models.setPredictionHook([&](auto, const auto&) {
        const int fd = ::open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
        const bool taken = fd >= 0 && ::flock(fd, LOCK_SH | LOCK_NB) == 0;
        if (fd >= 0) ::close(fd);
        const std::lock_guard<std::mutex> guard(lock);
        free.push_back(taken);
    });
    TtsModels::download();
    EXPECT_EQ(free, (std::vector<bool>{true, true}));
}

TEST_F(TtsModelsDownloadTest, TheCacheLoadsWhatIsAskedForOnceAndTakesModelsAtHand) {
    KokoroModelCache cache;
    cache.loadModels(std::set<Variant>{Variant::fiveSecond});
    EXPECT_TRUE(log.contains("Loaded Kokoro 5s model from cache", "KokoroModelCache"));
    EXPECT_TRUE(log.contains("Kokoro models ready: [5s]", "KokoroModelCache"));
    EXPECT_FALSE(log.contains("Warm-up completed for 15s"));
    EXPECT_EQ(cache.tokenLength(Variant::fiveSecond), 124);
    EXPECT_EQ(cache.referenceEmbeddingDimension(), 256);
    EXPECT_FALSE(log.contains("Loaded Kokoro 15s"));
    log.clear();
    cache.loadModels(std::set<Variant>{Variant::fiveSecond});
    EXPECT_TRUE(log.entries().empty());
    EXPECT_EQ(cache.tokenLength(Variant::fifteenSecond), 249);  // loads the other one on demand
    EXPECT_TRUE(log.contains("Kokoro models ready: [15s, 5s]", "KokoroModelCache"));

    synthesis.hub().clearRequests();
    log.clear();
    KokoroModelCache preloaded;
    preloaded.registerPreloadedModels(synthesis.models.ttsModels());
    preloaded.loadModels();
    EXPECT_TRUE(log.entries().empty());
    EXPECT_EQ(preloaded.model(Variant::fifteenSecond), synthesis.models.model(Variant::fifteenSecond));
    EXPECT_TRUE(synthesis.hub().requests().empty());
}

TEST_F(TtsModelsDownloadTest, TheStyleLengthOfAnEmptyCacheComesFromTheLongModel) {
    KokoroModelCache cache;
    EXPECT_EQ(cache.referenceEmbeddingDimension(), 256);
    EXPECT_EQ(warmUpOrder(), (std::vector<std::string>{"15s"}));
}

TEST_F(TtsModelsDownloadTest, AFailedDownloadIsPassedOnAndTheCacheStaysEmpty) {
    synthesis.hub().setListingFault(testsupport::KokoroFixtureModels::repoId, "", testsupport::TestHub::Fault::withStatus(503));
    KokoroModelCache cache;
    EXPECT_THROW(cache.loadModels(), std::exception);
    synthesis.hub().clearFaults();
    cache.loadModels();
    EXPECT_EQ(cache.tokenLength(Variant::fifteenSecond), 249);
}

}  // namespace
}  // namespace rarivoredu
