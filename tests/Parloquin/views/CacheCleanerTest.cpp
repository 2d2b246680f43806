// Cache clearing on a prepared tree: what goes and what stays.
#include "Parloquin/views/CacheCleaner.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/TemporaryDirectory.h"

namespace {

namespace fs = std::filesystem;
using parloquin::CacheCleaner;

void file(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
}

TEST(CacheCleanerTest, TemporaryDataGoesAndWhatTheSpeechLibraryNeedsStays) {
    testsupport::TemporaryDirectory root;
    const fs::path cache = root / "cache/Parloquin";
    const fs::path library = root / "data/RarivOredu";
    const fs::path outside = root / "outside";
    file(outside / "kept.bin");

    struct Entry {
        fs::path path;  // made as a file; the first part below the library or cache folder is the entry judged
        bool stays;
    };
    const std::vector<Entry> entries = {
        // The application's cache: everything in it.
        {cache / "thumbnails/a.png", false},
        {cache / ".hidden", false},
        {cache / "models.json", false},
        // The models one folder below the repository folder, their vocabulary and the repository locks.
        {library / "Models/parakeet-tdt-0.6b-v3-coreml/Encoder.mlmodelc/weight.bin", true},
        {library / "Models/parakeet-tdt-0.6b-v3-coreml/parakeet_vocab.json", true},
        {library / "Models/.parakeet-tdt-0.6b-v3-coreml.lock", true},
        // Folders whose names match, but that hold a model bundle, a vocabulary or a lock at any depth.
        {library / "cache/old/repository/Decoder.mlmodelc/coremldata.bin", true},
        {library / "temp-download/kokoro/vocab_index.json", true},
        {library / "ModelCache/repo/.repo.lock", true},
        {library / "temp.mlpackage/Data/model.bin", true},
        // Lock files themselves.
        {library / ".kokoro-cache.lock", true},
        // Names with a temporary part.
        {library / "temp/chunk-0001.bin", false},
        {library / "download-cache/part.bin", false},
        {library / "HubCache/listing.json", false},
        {library / "x.PARTIAL", false},
        {library / "notes.tmp", false},
        {library / "run.log", false},
        // Words that only contain a rule.
        {library / "template.txt", true},
        {library / "contemporary/notes.txt", true},
        {library / "cachedir/notes.txt", true},
        {library / "models.json", true},
    };
    for (const Entry& entry : entries) file(entry.path);
    fs::create_directory_symlink(outside, library / "temp-link");

    const std::vector<fs::path> removed = CacheCleaner(cache, library).clearCache();

    for (const Entry& entry : entries) EXPECT_EQ(fs::exists(entry.path), entry.stays) << entry.path;
    // A link goes, not what it leads to.
    EXPECT_FALSE(fs::exists(fs::symlink_status(library / "temp-link")));
    EXPECT_TRUE(fs::exists(outside / "kept.bin"));
    EXPECT_TRUE(fs::is_directory(cache));
    EXPECT_EQ(removed, (std::vector<fs::path>{cache / ".hidden", cache / "models.json", cache / "thumbnails",
                                              library / "HubCache", library / "download-cache",
                                              library / "notes.tmp", library / "run.log", library / "temp",
                                              library / "temp-link", library / "x.PARTIAL"}));
}

TEST(CacheCleanerTest, WithoutEitherFolderNothingHappens) {
    testsupport::TemporaryDirectory root;
    EXPECT_TRUE(CacheCleaner(root / "cache/Parloquin", root / "data/RarivOredu").clearCache().empty());
    EXPECT_TRUE(fs::is_empty(root.path()));
}

TEST(CacheCleanerTest, NamesAreJudgedOnWholeParts) {
    struct Case {
        const char* name;
        bool temporary;
        bool needed;
    };
    const std::vector<Case> cases = {
        {"temp", true, false},          {"Temp Files", true, false},      {"tmp", false, false},
        {"template.txt", false, false}, {"attempt.json", false, false},   {"x.PARTIAL", true, false},
        {"cache", true, false},         {"ModelCache", true, false},      {"cachedir", false, false},
        {"Encoder.mlmodelc", false, true}, {"model.MLPACKAGE", false, true}, {".repo.lock", false, true},
        {"parakeet_vocab.json", false, true}, {"vocabulary.txt", false, true}, {"vocabulary-cache", true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CacheCleaner::isTemporaryName(c.name), c.temporary) << c.name;
        EXPECT_EQ(CacheCleaner::isProtectedName(c.name), c.needed) << c.name;
    }
}

}  // namespace
