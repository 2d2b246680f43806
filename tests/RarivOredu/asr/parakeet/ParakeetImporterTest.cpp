#include <gtest/gtest.h>
#include <sys/mount.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Platform/system/CancellationToken.h"
#include "Platform/system/NSError.h"
#include "RarivOredu/asr/AsrModels.h"
#include "RarivOredu/asr/AsrModelsError.h"
#include "RarivOredu/asr/parakeet/ParakeetImporter.h"
#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/shared/ModelStorageError.h"
#include "RarivOredu/checkpoint/TarArchive.h"
#include "tests/RarivOredu/asr/parakeet/TinyCheckpoint.h"
#include "tests/RarivOredu/checkpoint/ArchiveBytes.h"
#include "tests/support/FolderContents.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

namespace fs = std::filesystem;
using rarivoredu::AsrModelVersion;
using rarivoredu::ParakeetImporter;
using testsupport::TinyCheckpoint;

const std::string kV3 = "parakeet-tdt-0.6b-v3-coreml";
const std::set<std::string> kBundles{"Preprocessor.mlmodelc", "Encoder.mlmodelc", "Decoder.mlmodelc",
                                     "JointDecision.mlmodelc"};

// The tiny checkpoint's members, to write variants of it.
struct Members {
    std::vector<std::pair<std::string, std::string>> entries;

    Members() {
        const auto archive = rarivoredu::TarArchive::open(TinyCheckpoint::nemoFile());
        for (const auto& member : archive.members()) {
            entries.emplace_back("./" + member.name, archive.region(member).readBytes(0, member.size));
        }
    }
    std::string& operator[](const std::string& name) {
        for (auto& [n, data] : entries) {
            if (n == "./" + name) return data;
        }
        throw std::runtime_error("no member " + name);
    }
    void write(const fs::path& path) const {
        std::string tar;
        for (const auto& [name, data] : entries) tar += checkpointtest::tarMember(name, data);
        std::ofstream(path, std::ios::binary) << tar + checkpointtest::tarEnd();
    }
};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    if (at == std::string::npos) throw std::runtime_error("no '" + from + "' in the configuration");
    return text.replace(at, from.size(), to);
}

// Everything in the models folder: the version folder's files and what lies beside it.
std::map<std::string, std::string> snapshot(const fs::path& models) { return testsupport::folderFiles(models); }

void expectNoStaging(const fs::path& models) {
    for (const auto& entry : testsupport::folderContents(models)) {
        EXPECT_EQ(entry.find(".importing-"), std::string::npos) << entry;
    }
}

TEST(ParakeetImporterTest, ImportsTheTinyCheckpointIntoALoadableFolder) {
    testsupport::TemporaryDirectory temp;
    const fs::path folder = temp / "Models" / kV3;
    std::vector<std::pair<std::string, double>> reports;
    const auto version = ParakeetImporter::importNemo(TinyCheckpoint::nemoFile(), folder, {},
                                                      [&](std::string_view step, double fraction) {
                                                          reports.emplace_back(std::string(step), fraction);
                                                      });
    EXPECT_EQ(version, AsrModelVersion::v3);

    std::vector<std::string> steps;
    for (std::size_t i = 0; i < reports.size(); ++i) {
        if (steps.empty() || steps.back() != reports[i].first) steps.push_back(reports[i].first);
        if (i > 0) {
            EXPECT_GE(reports[i].second, reports[i - 1].second) << reports[i].first;
        }
    }
    EXPECT_EQ(steps, (std::vector<std::string>{"reading", "preprocessor", "encoder", "decoder", "joint", "vocabulary"}));
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().second, 1.0);

    const auto models = rarivoredu::AsrModels::load(folder, std::nullopt, AsrModelVersion::v3);
    ASSERT_EQ(models.vocabulary.size(), 40u);
    EXPECT_EQ(models.vocabulary.at(0), "<unk>");
    EXPECT_EQ(models.vocabulary.at(1), "\xE2\x96\x81t");
    EXPECT_EQ(models.vocabulary.at(22), "n");  // quoted in the YAML
    EXPECT_EQ(models.vocabulary.at(39), "z");
    expectNoStaging(temp / "Models");
    EXPECT_GT(ParakeetImporter::requiredSpace(TinyCheckpoint::nemoFile()), fs::file_size(folder / "Encoder.mlmodelc/model.pt"));
}

// A checkpoint that cannot be imported leaves the folder of an earlier import as it was.
TEST(ParakeetImporterTest, RefusesBrokenCheckpointsAndKeepsTheOldFolder) {
    testsupport::TemporaryDirectory temp;
    const fs::path models = temp / "Models";
    ParakeetImporter::importNemo(TinyCheckpoint::nemoFile(), models / kV3);
    const auto before = snapshot(models);

    const std::string config = Members()["model_config.yaml"];
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> make;
        std::string folder;
        std::string message;
    };
    auto withConfig = [&](std::string from, std::string to) {
        return [=](const fs::path& path) {
            Members m;
            m["model_config.yaml"] = replaced(config, from, to);
            m.write(path);
        };
    };
    const Case cases[] = {
        {"cut in the middle of the weights",
         [](const fs::path& path) {
             const std::string bytes = testsupport::readBytes(TinyCheckpoint::nemoFile());
             std::ofstream(path, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
         },
         kV3, "is truncated"},
        {"no weights",
         [](const fs::path& path) {
             Members m;
             std::erase_if(m.entries, [](const auto& e) { return e.first == "./model_weights.ckpt"; });
             m.write(path);
         },
         kV3, "holds no model_weights.ckpt"},
        {"other subsampling", withConfig("subsampling: dw_striding", "subsampling: striding"), kV3,
         "Unsupported model configuration: encoder.subsampling: expected dw_striding, found striding"},
        {"scaled input", withConfig("xscaling: false", "xscaling: true"), kV3,
         "encoder.xscaling: expected false, found true"},
        {"other durations", withConfig("  durations:\n  - 0\n", "  durations:\n  - 5\n"), kV3,
         "decoding.durations: expected [0, 1, 2, 3, 4], found [5, 1, 2, 3, 4]"},
        {"a missing tensor", withConfig("n_layers: 2", "n_layers: 3"), kV3,
         "The checkpoint has no tensor encoder.layers.2."},
        {"a misshapen tensor", withConfig("conv_kernel_size: 9", "conv_kernel_size: 7"), kV3,
         "encoder.layers.0.conv.depthwise_conv.weight has shape [64, 1, 9], expected [64, 1, 7]"},
        {"vocabulary and classes disagree", withConfig("num_classes: 40", "num_classes: 41"), kV3,
         "joint.num_classes: expected 40 (the pieces of joint.vocabulary), found 41"},
        {"not the folder's version", [](const fs::path& path) { fs::copy_file(TinyCheckpoint::nemoFile(), path); },
         "parakeet-tdt-0.6b-v2-coreml", "not parakeet-tdt-0.6b-v2-coreml"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path nemo = temp / "variant.nemo";
        fs::remove(nemo);
        c.make(nemo);
        try {
            ParakeetImporter::importNemo(nemo, models / c.folder);
            ADD_FAILURE() << "imported";
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            EXPECT_TRUE(dynamic_cast<const rarivoredu::CheckpointError*>(&e) ||
                        dynamic_cast<const rarivoredu::AsrModelsError*>(&e))
                << e.what();
        }
        EXPECT_EQ(snapshot(models), before);
    }
}

TEST(ParakeetImporterTest, CancellingMidwayKeepsTheOldFolder) {
    testsupport::TemporaryDirectory temp;
    const fs::path models = temp / "Models";
    ParakeetImporter::importNemo(TinyCheckpoint::nemoFile(), models / kV3);
    const auto before = snapshot(models);

    platform::CancellationToken token;
    const platform::CancellationToken::Scope scope(token);
    bool cancelled = false;
    try {
        ParakeetImporter::importNemo(TinyCheckpoint::nemoFile(), models / kV3, {}, [&](std::string_view step, double) {
            if (step == "decoder") token.cancel();
        });
    } catch (const platform::NSError&) {
        cancelled = true;
    }
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(snapshot(models), before);
    expectNoStaging(models);
}

TEST(ParakeetImporterTest, TwoImportsIntoOneFolderAtOnceLeaveOneWholeFolder) {
    testsupport::TemporaryDirectory temp;
    const fs::path folder = temp / "Models" / kV3;
    std::atomic<int> imported{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
        threads.emplace_back([&] {
            if (ParakeetImporter::importNemo(TinyCheckpoint::nemoFile(), folder) == AsrModelVersion::v3) ++imported;
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(imported, 2);
    std::set<std::string> top;
    for (const auto& entry : fs::directory_iterator(folder)) top.insert(entry.path().filename().string());
    std::set<std::string> expected = kBundles;
    expected.insert("parakeet_vocab.json");
    EXPECT_EQ(top, expected);
    EXPECT_NO_THROW(rarivoredu::AsrModels::load(folder, std::nullopt, AsrModelVersion::v3));
    expectNoStaging(temp / "Models");
}

// A file system too small for the bundles: refused before anything is written.
TEST(ParakeetImporterTest, AFullDiskIsRefusedAndTheOldFolderStays) {
    testsupport::TemporaryDirectory temp;
    const fs::path mountPoint = temp / "small";
    fs::create_directories(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=2m") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    struct Unmount {
        fs::path path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{mountPoint};
    const fs::path folder = mountPoint / kV3;
    fs::create_directories(folder);
    std::ofstream(folder / "parakeet_vocab.json") << "{\"0\": \"old\"}";
    const auto before = snapshot(mountPoint);
    try {
        ParakeetImporter::importNemo(TinyCheckpoint::nemoFile(), folder);
        ADD_FAILURE() << "imported";
    } catch (const rarivoredu::ModelStorageError& e) {
        // The error the first start and the offline import say in the user's words.
        EXPECT_EQ(e.kind(), rarivoredu::ModelStorageError::Kind::insufficientSpace);
        EXPECT_EQ(e.folder(), mountPoint);
        EXPECT_GT(e.neededBytes(), e.availableBytes());
        EXPECT_NE(std::string(e.what()).find("Not enough free space in " + mountPoint.string()), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(snapshot(mountPoint), before);
}

}  // namespace
