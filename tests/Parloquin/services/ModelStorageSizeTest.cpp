#include "Parloquin/services/ModelStorageSize.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/TemporaryDirectory.h"

namespace {

using parloquin::ModelStorageSize;

// The size shown is what the model files take, not a fixed figure.
TEST(ModelStorageSizeTest, TheModelSizeIsMeasuredOnDisk) {
    const std::vector<std::pair<std::uint64_t, std::string>> texts = {
        {0, "0 MB"},           {499'999, "0 MB"},         {500'000, "1 MB"},          {470'000'000, "470 MB"},
        {999'499'999, "999 MB"}, {999'500'000, "1,0 GB"}, {2'449'999'999, "2,4 GB"}, {2'450'000'000, "2,5 GB"},
        {12'340'000'000, "12,3 GB"},
    };
    for (const auto& [bytes, text] : texts) EXPECT_EQ(ModelStorageSize::text(bytes), text) << bytes;

    testsupport::TemporaryDirectory folder;
    EXPECT_EQ(ModelStorageSize::measure(folder / "missing"), 0u);
    std::filesystem::create_directories(folder / "Models/Encoder.mlmodelc/weights");
    std::ofstream(folder / "Models/Encoder.mlmodelc/model.pt") << std::string(1000, 'x');
    std::ofstream(folder / "Models/Encoder.mlmodelc/weights/weight.bin") << std::string(234, 'y');
    std::ofstream(folder / "vocab.json") << std::string(6, 'z');
    std::filesystem::create_symlink(folder / "vocab.json", folder / "Models/link.json");
    EXPECT_EQ(ModelStorageSize::measure(folder.path()), 1240u);
}

}  // namespace
