#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "Platform/ml/InProcessEngine.h"
#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLModel.h"
#include "Platform/ml/MLModelBundle.h"
#include "Platform/ml/MLModelError.h"
#include "Platform/ml/TorchScriptRuntime.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

MLFeatureValue arrayValue(const MLMultiArrayPtr& a) { return MLFeatureValue::featureValueWithMultiArray(a); }

MLMultiArrayPtr filled(MLMultiArray::Shape shape, double value) {
    auto a = MLMultiArray::create(shape, MLMultiArrayDataType::float32);
    a->fill(value);
    return a;
}

class MLModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("mlmodel-test-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A recurrent cell in miniature: h_out = h_in + x, y = 2·h_out + bias.
    fs::path writeAccumulator() {
        const fs::path folder = dir_ / "Accumulator.mlmodelc";
        MLModelBundle bundle;
        bundle.description.inputs = {arrayFeature("x", {1, 4}), arrayFeature("h_in", {1, 4})};
        bundle.description.outputs = {arrayFeature("h_out", {1, 4}), arrayFeature("y", {1, 4})};
        bundle.write(folder);
        auto bias = MLMultiArray::create({1, 4}, MLMultiArrayDataType::float32);
        for (int i = 0; i < 4; ++i) bias->setValue(i, i);
        TorchScriptRuntime::shared().saveScriptModule(folder / "model.pt", R"(
def forward(self, x: Tensor, h_in: Tensor) -> Dict[str, Tensor]:
    h = h_in + x
    return {"h_out": h, "y": h * 2.0 + self.bias}
)",
                                            {{"bias", bias}});
        return folder;
    }

    fs::path dir_;
};

TEST_F(MLModelTest, TorchScriptBundleLoadsByFolderAndCarriesStateThroughABackingThatIsAlsoAnInput) {
    auto model = MLModel::modelWithContentsOfURL(writeAccumulator());
    EXPECT_EQ(model->modelDescription().inputs.size(), 2u);
    ASSERT_NE(model->modelDescription().output("y"), nullptr);

    auto state = filled({1, 4}, 0.0);
    auto x = filled({1, 4}, 1.0);
    MLDictionaryFeatureProvider inputs({{"x", arrayValue(x)}, {"h_in", arrayValue(state)}});
    MLPredictionOptions options;
    options.outputBackings["h_out"] = state;

    for (int step = 1; step <= 3; ++step) {
        auto out = model->predictionFromFeatures(inputs, options);
        EXPECT_EQ(out->featureValueForName("h_out")->multiArrayValue().get(), state.get());
        const auto y = out->featureValueForName("y")->multiArrayValue();
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ((*state)[i], step);
            EXPECT_EQ((*y)[i], 2.0 * step + i);
        }
    }
}

TEST_F(MLModelTest, BackingsThatSwapTwoInputsReadBothBeforeWritingEither) {
    const fs::path folder = dir_ / "Swap.mlmodelc";
    MLModelBundle bundle;
    bundle.description.inputs = {arrayFeature("a", {3}), arrayFeature("b", {3})};
    bundle.description.outputs = {arrayFeature("a_out", {3}), arrayFeature("b_out", {3})};
    bundle.write(folder);
    TorchScriptRuntime::shared().saveScriptModule(folder / "model.pt", R"(
def forward(self, a: Tensor, b: Tensor) -> Dict[str, Tensor]:
    return {"a_out": b, "b_out": a}
)");
    auto model = MLModel::modelWithContentsOfURL(folder);
    auto a = filled({3}, 1.0);
    auto b = filled({3}, 2.0);
    MLPredictionOptions options;
    options.outputBackings = {{"a_out", a}, {"b_out", b}};
    model->predictionFromFeatures(MLDictionaryFeatureProvider({{"a", arrayValue(a)}, {"b", arrayValue(b)}}), options);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ((*a)[i], 2.0);
        EXPECT_EQ((*b)[i], 1.0);
    }
}

TEST_F(MLModelTest, OutputsThatAreInputsOrViewsOfThemOwnTheirMemory) {
    const fs::path folder = dir_ / "PassThrough.mlmodelc";
    MLModelBundle bundle;
    bundle.description.inputs = {arrayFeature("a", {4})};
    bundle.description.outputs = {arrayFeature("same", {4}), arrayFeature("tail", {2})};
    bundle.write(folder);
    TorchScriptRuntime::shared().saveScriptModule(folder / "model.pt", R"(
def forward(self, a: Tensor) -> Dict[str, Tensor]:
    return {"same": a, "tail": a[2:]}
)");
    auto model = MLModel::modelWithContentsOfURL(folder);
    auto a = filled({4}, 1.0);
    auto out = model->predictionFromFeatures(MLDictionaryFeatureProvider({{"a", arrayValue(a)}}));
    a->fill(7.0);
    a.reset();  // the caller is done with its input; the outputs must not point into it
    const auto same = out->featureValueForName("same")->multiArrayValue();
    const auto tail = out->featureValueForName("tail")->multiArrayValue();
    ASSERT_EQ(same->count(), 4);
    ASSERT_EQ(tail->count(), 2);
    for (int i = 0; i < 4; ++i) EXPECT_EQ((*same)[i], 1.0);
    for (int i = 0; i < 2; ++i) EXPECT_EQ((*tail)[i], 1.0);
}

TEST_F(MLModelTest, OutputsAreWrittenIntoPaddedAndDifferentlyTypedBackings) {
    auto model = MLModel::modelWithContentsOfURL(writeAccumulator());
    std::vector<float> padded(16, -5.0f);
    auto y = MLMultiArray::wrap(padded.data(), {1, 4}, MLMultiArrayDataType::float32, {16, 1});
    auto h = MLMultiArray::create({1, 4}, MLMultiArrayDataType::float16);
    MLPredictionOptions options;
    options.outputBackings = {{"y", y}, {"h_out", h}};
    model->predictionFromFeatures(
        MLDictionaryFeatureProvider({{"x", arrayValue(filled({1, 4}, 0.5))}, {"h_in", arrayValue(filled({1, 4}, 1.0))}}),
        options);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ((*y)[i], 3.0 + i);
        EXPECT_EQ((*h)[i], 1.5);
    }
}

TEST_F(MLModelTest, InvalidInputsAreRefusedWithAFeatureTypeError) {
    auto model = MLModel::modelWithContentsOfURL(writeAccumulator());
    struct Case {
        const char* what;
        MLDictionaryFeatureProvider::Dictionary inputs;
    };
    const std::vector<Case> cases = {
        {"missing input", {{"x", arrayValue(filled({1, 4}, 0))}}},
        {"wrong shape", {{"x", arrayValue(filled({1, 5}, 0))}, {"h_in", arrayValue(filled({1, 4}, 0))}}},
        {"wrong kind", {{"x", MLFeatureValue::featureValueWithInt64(1)}, {"h_in", arrayValue(filled({1, 4}, 0))}}},
    };
    for (const auto& c : cases) {
        try {
            model->predictionFromFeatures(MLDictionaryFeatureProvider(c.inputs));
            ADD_FAILURE() << c.what << " was accepted";
        } catch (const NSError& e) {
            EXPECT_EQ(e.domain(), MLModelError::domain) << c.what;
            EXPECT_EQ(e.code(), MLModelError::featureType) << c.what;
        }
    }
}

TEST_F(MLModelTest, BrokenBundlesFailToLoadWithAnIOError) {
    const fs::path good = writeAccumulator();
    auto copyOf = [&](const std::string& name) {
        const fs::path to = dir_ / name;
        fs::copy(good, to, fs::copy_options::recursive);
        return to;
    };
    const fs::path noDescription = copyOf("NoDescription.mlmodelc");
    fs::remove(noDescription / "coremldata.bin");
    const fs::path badJSON = copyOf("BadJSON.mlmodelc");
    std::ofstream(badJSON / "coremldata.bin") << "{ not json";
    const fs::path noModule = copyOf("NoModule.mlmodelc");
    fs::remove(noModule / "model.pt");
    const fs::path truncated = copyOf("Truncated.mlmodelc");
    fs::resize_file(truncated / "model.pt", fs::file_size(truncated / "model.pt") / 2);
    const fs::path undeclared = copyOf("Undeclared.mlmodelc");
    {
        MLModelBundle bundle = MLModelBundle::read(undeclared);
        bundle.description.inputs.pop_back();  // the module still takes h_in
        bundle.write(undeclared);
    }
    const fs::path unregistered = dir_ / "Unregistered.mlmodelc";
    {
        MLModelBundle bundle;
        bundle.engine = MLModelBundle::Engine::inProcess;
        bundle.inProcessName = "nobody-registered-this";
        bundle.write(unregistered);
    }

    for (const fs::path& folder : {dir_ / "Missing.mlmodelc", noDescription, badJSON, noModule, truncated, undeclared,
                                   unregistered}) {
        try {
            MLModel::modelWithContentsOfURL(folder);
            ADD_FAILURE() << folder << " loaded";
        } catch (const NSError& e) {
            EXPECT_EQ(e.code(), MLModelError::io) << folder;
            EXPECT_FALSE(e.localizedDescription().empty());
        }
    }
}

// The runtime plugin is opened once per process, so each case runs in a fresh one.
TEST_F(MLModelTest, ARuntimePluginThatCannotBeOpenedFailsTheLoadNamingItAndTheReason) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const fs::path folder = dir_ / "Model.mlmodelc";
    MLModelBundle bundle;
    bundle.description.inputs = {arrayFeature("x", {1, 4})};
    bundle.description.outputs = {arrayFeature("y", {1, 4})};
    bundle.write(folder);
    std::ofstream(folder / "model.pt") << "not a module";
    const struct {
        fs::path plugin;
        const char* message;
    } cases[] = {
        {dir_ / "missing.so", "Could not load the TorchScript runtime .*/missing\\.so: .*cannot open shared object file"},
        {folder / "model.pt", "Could not load the TorchScript runtime .*/model\\.pt: .*(invalid ELF header|file too short)"},
    };
    for (const auto& c : cases) {
        EXPECT_EXIT(
            {
                ::setenv("RARIVOREDU_TORCH_PLUGIN", c.plugin.c_str(), 1);
                int status = 2;
                try {
                    MLModel::modelWithContentsOfURL(folder);
                } catch (const NSError& e) {
                    std::fprintf(stderr, "%s\n", e.what());
                    status = e.code() == MLModelError::io ? 0 : 1;
                }
                fs::remove_all(dir_);
                std::exit(status);
            },
            ::testing::ExitedWithCode(0), c.message)
            << c.plugin;
    }
}

TEST_F(MLModelTest, InProcessEngineServesBundlesRegisteredByName) {
    InProcessEngine::registerFactory("doubler", [](const MLModelDescription&, const MLModelConfiguration&) {
        return std::make_shared<InProcessEngine>([](const MLFeatureProvider& in) {
            auto x = in.featureValueForName("x")->multiArrayValue();
            auto y = MLMultiArray::create(x->shape(), MLMultiArrayDataType::float32);
            for (std::int64_t i = 0; i < x->count(); ++i) y->setValue(i, 2 * (*x)[i]);
            return MLDictionaryFeatureProvider::Dictionary{{"y", MLFeatureValue::featureValueWithMultiArray(y)}};
        });
    });
    const fs::path folder = dir_ / "Doubler.mlmodelc";
    MLModelBundle bundle;
    bundle.engine = MLModelBundle::Engine::inProcess;
    bundle.inProcessName = "doubler";
    bundle.description.inputs = {arrayFeature("x", {2})};
    bundle.description.outputs = {arrayFeature("y", {2})};
    bundle.write(folder);

    MLModelConfiguration configuration;
    configuration.computeUnits = MLComputeUnits::cpuOnly;
    auto model = MLModel::modelWithContentsOfURL(folder, configuration);
    EXPECT_EQ(model->configuration().computeUnits, MLComputeUnits::cpuOnly);
    auto x = filled({2}, 3.0);
    auto backing = MLMultiArray::create({2}, MLMultiArrayDataType::float32);
    MLPredictionOptions options;
    options.outputBackings["y"] = backing;
    auto out = model->predictionFromFeatures(MLDictionaryFeatureProvider({{"x", arrayValue(x)}}), options);
    EXPECT_EQ(out->featureValueForName("y")->multiArrayValue().get(), backing.get());
    EXPECT_EQ((*backing)[1], 6.0);
    InProcessEngine::unregisterFactory("doubler");
}

TEST(MLModelDescriptionTest, BundleDescriptionRoundTripsThroughItsFile) {
    MLModelBundle bundle;
    bundle.threading = ThreadingPreference::torchWide;
    auto flexible = arrayFeature("audio", {1, 240000});
    flexible.multiArrayConstraint->sizeRanges = {{1, 1}, {1, -1}};
    bundle.description.inputs = {flexible, MLFeatureDescription{"length", MLFeatureType::int64, true, std::nullopt}};
    bundle.description.outputs = {arrayFeature("encoder", {1, 1024, 188}, MLMultiArrayDataType::float16)};
    bundle.description.metadata = {{"version", "3"}};
    const MLModelBundle back = MLModelBundle::fromJSON(bundle.toJSON());
    EXPECT_EQ(back.threading, ThreadingPreference::torchWide);
    EXPECT_EQ(back.toJSON(), bundle.toJSON());
    EXPECT_TRUE(back.description.inputs[0].multiArrayConstraint->accepts({1, 16000}));
    EXPECT_FALSE(back.description.inputs[0].multiArrayConstraint->accepts({2, 16000}));
    EXPECT_TRUE(back.description.inputs[1].isOptional);
}

TEST(ThreadPoolsTest, OnePoolIsWideAndTheOtherNarrow) {
    // On a fresh thread, where libtorch has not yet set up its width.
    std::thread([] {
        auto& runtime = TorchScriptRuntime::shared();
        runtime.applyThreadPools(ThreadingPreference::blasWide);
        EXPECT_EQ(runtime.torchThreads(), 1);
        if (runtime.blasIsOpenBLAS()) {
            EXPECT_EQ(runtime.blasThreads(), runtime.wideWidth());
        }
        runtime.applyThreadPools(ThreadingPreference::torchWide);
        EXPECT_EQ(runtime.torchThreads(), runtime.wideWidth());
        if (runtime.blasIsOpenBLAS()) {
            EXPECT_EQ(runtime.blasThreads(), 1);
        }
        runtime.applyThreadPools(ThreadingPreference::blasWide);
        EXPECT_EQ(runtime.torchThreads(), 1);
    }).join();
}

// What libtorch's OpenMP reports of its settings (omp_display_env, verbose), or "" where the
// runtime does not run on libgomp.
std::string openMPSettings() {
    void* gomp = dlopen("libgomp.so.1", RTLD_NOW | RTLD_NOLOAD);
    const auto display = gomp ? reinterpret_cast<void (*)(int)>(dlsym(gomp, "omp_display_env")) : nullptr;
    if (display == nullptr) return "";
    std::FILE* capture = std::tmpfile();
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(fileno(capture), STDERR_FILENO);
    display(1);
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::string text(static_cast<std::size_t>(std::ftell(capture)), '\0');
    std::rewind(capture);
    text.resize(std::fread(text.data(), 1, text.size(), capture));
    std::fclose(capture);
    dlclose(gomp);
    return text;
}

TEST(ThreadPoolsTest, OpenMPThreadsSleepWhileTheyWaitAndTheEnvironmentIsLeftAsItWas) {
    if (std::getenv("OMP_WAIT_POLICY") != nullptr || std::getenv("GOMP_SPINCOUNT") != nullptr) {
        GTEST_SKIP() << "the user chose how OpenMP waits";
    }
    TorchScriptRuntime::shared();
    EXPECT_EQ(std::getenv("OMP_WAIT_POLICY"), nullptr) << "programs started later would inherit it";
    const std::string settings = openMPSettings();
    if (settings.empty()) GTEST_SKIP() << "libtorch does not run on libgomp here";
    EXPECT_NE(settings.find("GOMP_SPINCOUNT = '0'"), std::string::npos) << "idle threads spin:\n" << settings;
}

}  // namespace
}  // namespace platform
