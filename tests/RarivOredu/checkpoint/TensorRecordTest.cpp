#include "RarivOredu/checkpoint/TensorRecord.h"

#include <gtest/gtest.h>

#include <functional>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/TorchCheckpoint.h"
#include "tests/RarivOredu/checkpoint/ArchiveBytes.h"
#include "tests/RarivOredu/checkpoint/TorchPickleBytes.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace rarivoredu {
namespace {

using DType = TensorRecord::DType;
using Shape = std::vector<std::int64_t>;

const std::filesystem::path stateDict = PARLOQUIN_SOURCE_DIR "/tests/fixtures/checkpoint/state_dict.pt";

std::vector<float> values(const platform::MLMultiArrayPtr& array) {
    const float* data = array->data<float>();
    return std::vector<float>(data, data + array->count());
}

TEST(TensorRecordTest, ConvertsEveryNumberTypeToContiguousFloats) {
    const TorchCheckpoint checkpoint = TorchCheckpoint::open(stateDict);
    const struct {
        const char* name;
        DType dtype;
        Shape shape;
        std::vector<float> values;
    } cases[] = {
        {"weight", DType::float32, {2, 3}, {-0.5f, -0.25f, 0.f, 0.25f, 0.5f, 0.75f}},
        {"transposed", DType::float32, {2, 3}, {0, 2, 4, 1, 3, 5}},
        {"shared_a", DType::float32, {3}, {2, 3, 4}},
        {"shared_b", DType::float32, {2, 2}, {5, 6, 7, 8}},
        {"every_other", DType::float32, {3}, {1, 4, 7}},
        {"half", DType::float16, {4}, {0.5f, -1.25f, 65504.f, 1.0001659393310547e-4f}},
        {"bfloat16", DType::bfloat16, {3}, {1.5f, -2.f, 3.140625f}},
        {"float64", DType::float64, {2}, {static_cast<float>(1.0 / 3.0), -2.5f}},
        {"steps", DType::int64, {}, {12345678901.f}},
        {"int32", DType::int32, {2}, {-7.f, 2147483647.f}},
        {"int16", DType::int16, {2}, {-300, 300}},
        {"int8", DType::int8, {2}, {-128, 127}},
        {"uint8", DType::uint8, {2}, {0, 255}},
        {"empty", DType::float32, {0, 3}, {}},
    };
    for (const auto& c : cases) {
        const TensorRecord& tensor = checkpoint.require(c.name, c.shape);
        EXPECT_EQ(tensor.dtype, c.dtype) << c.name;
        const auto array = tensor.toFloat32();
        EXPECT_EQ(array->shape(), c.shape) << c.name;
        EXPECT_TRUE(array->isContiguous()) << c.name;
        EXPECT_EQ(values(array), c.values) << c.name;
    }
    const auto& a = checkpoint.require("shared_a", {3});
    const auto& b = checkpoint.require("shared_b", {2, 2});
    EXPECT_EQ(a.storageKey, b.storageKey);
    EXPECT_EQ(a.storageOffset, 2);
    EXPECT_EQ(b.storageOffset, 5);
    EXPECT_EQ(checkpoint.require("transposed", {2, 3}).strides, (Shape{1, 2}));
}

TEST(TensorRecordTest, ReadsIntegersExactlyAndRefusesWhatIsNoInteger) {
    const TorchCheckpoint checkpoint = TorchCheckpoint::open(stateDict);
    const struct {
        const char* name;
        std::vector<std::int64_t> values;
    } cases[] = {
        {"steps", {12345678901}}, {"int32", {-7, 2147483647}}, {"int16", {-300, 300}},
        {"int8", {-128, 127}},    {"uint8", {0, 255}},         {"mask", {1, 0, 1}},
    };
    for (const auto& c : cases) EXPECT_EQ(checkpoint.find(c.name)->toInt64(), c.values) << c.name;
    EXPECT_EQ(checkpoint.find("steps")->numel(), 1);
    EXPECT_EQ(checkpoint.find("empty")->numel(), 0);
    for (const auto& [name, call] : std::vector<std::pair<const char*, std::function<void()>>>{
             {"bool as floats", [&] { checkpoint.find("mask")->toFloat32(); }},
             {"floats as integers", [&] { checkpoint.find("weight")->toInt64(); }},
         }) {
        try {
            call();
            ADD_FAILURE() << name << ": converted";
        } catch (const CheckpointError& error) {
            EXPECT_EQ(error.kind(), CheckpointError::Kind::unsupported) << name << ": " << error.what();
        }
    }
}

TEST(TensorRecordTest, ADamagedStorageIsRefusedByItsChecksum) {
    testsupport::TemporaryDirectory folder;
    std::string bytes = testsupport::readBytes(stateDict);
    const TorchCheckpoint good = TorchCheckpoint::open(stateDict);
    const TensorRecord& weight = good.require("weight", {2, 3});
    const TensorRecord& half = good.require("half", {4});
    // One bit of the third float of "weight" and of the second half of "half".
    bytes[weight.storage.offset() + 8] ^= 0x01;
    bytes[half.storage.offset() + 2] ^= 0x01;
    const TorchCheckpoint damaged = TorchCheckpoint::open(testsupport::writeFile(folder / "damaged.pt", bytes));
    for (const char* name : {"weight", "half"}) {
        try {
            damaged.find(name)->toFloat32();
            ADD_FAILURE() << name << ": converted";
        } catch (const CheckpointError& error) {
            EXPECT_EQ(error.kind(), CheckpointError::Kind::malformed) << error.what();
            EXPECT_NE(std::string(error.what()).find("CRC-32 mismatch"), std::string::npos) << error.what();
        }
    }
    // The others are whole.
    EXPECT_EQ(values(damaged.find("bfloat16")->toFloat32()), (std::vector<float>{1.5f, -2.f, 3.140625f}));
}

TEST(TensorRecordTest, AStorageShorterThanItsTensorIsTruncated) {
    using namespace checkpointtest;
    testsupport::TemporaryDirectory folder;
    // Tensors of 4 and 3 elements over a record that holds only 2 floats (and claims 4).
    const std::string pickled =
        pickle(dictPickle({{"long", tensorPickle("0", 4, 4)}, {"fits", tensorPickle("0", 2, 4)}}));
    const auto file = testsupport::writeFile(folder / "short.pt",
                                zipArchive({{"short/data.pkl", pickled}, {"short/data/0", std::string(8, '\0')}}));
    const TorchCheckpoint checkpoint = TorchCheckpoint::open(file);
    EXPECT_EQ(values(checkpoint.find("fits")->toFloat32()), (std::vector<float>{0, 0}));
    try {
        checkpoint.find("long")->toFloat32();
        FAIL() << "converted";
    } catch (const CheckpointError& error) {
        EXPECT_EQ(error.kind(), CheckpointError::Kind::truncated);
        EXPECT_NE(std::string(error.what()).find("short/data/0"), std::string::npos) << error.what();
    }
    // Records a damaged file could describe: each fails before anything is allocated for it.
    const struct {
        const char* label;
        Shape shape;
        Shape strides;
        std::int64_t offset;
        CheckpointError::Kind kind;
    } damaged[] = {
        {"strides beyond the storage", {2, 2}, {3, 1}, 0, CheckpointError::Kind::truncated},
        {"offset beyond the storage", {2}, {1}, 1, CheckpointError::Kind::truncated},
        {"a terabyte of elements", {std::int64_t{1} << 40}, {1}, 0, CheckpointError::Kind::truncated},
        {"a terabyte of one element repeated", {std::int64_t{1} << 40}, {0}, 0, CheckpointError::Kind::unsupported},
        {"an overflowing shape", {std::int64_t{1} << 40, std::int64_t{1} << 40}, {1, 1}, 0,
         CheckpointError::Kind::malformed},
        {"a negative size", {-2}, {1}, 0, CheckpointError::Kind::malformed},
        {"strides of another rank", {2}, {1, 1}, 0, CheckpointError::Kind::malformed},
    };
    for (const auto& d : damaged) {
        TensorRecord record = *checkpoint.find("fits");
        record.shape = d.shape;
        record.strides = d.strides;
        record.storageOffset = d.offset;
        try {
            record.toFloat32();
            ADD_FAILURE() << d.label << ": converted";
        } catch (const CheckpointError& error) {
            EXPECT_EQ(error.kind(), d.kind) << d.label << ": " << error.what();
        }
    }
}

// Shapes a hostile checkpoint may give a tensor over a storage of 64 floats: overlapping strides
// stay inside the storage while their element count wraps or reaches gigabytes. A tensor may hold
// more elements than its storage only by repeating a few of them.
TEST(TensorRecordTest, ATensorHoldsNoMoreElementsThanItsStorageBacks) {
    using namespace checkpointtest;
    testsupport::TemporaryDirectory folder;
    const std::string pickled = pickle(dictPickle({{"t", tensorPickle("0", 64, 64)}}));
    const auto file =
        testsupport::writeFile(folder / "t.pt", zipArchive({{"t/data.pkl", pickled}, {"t/data/0", std::string(256, '\0')}}));
    const TorchCheckpoint checkpoint = TorchCheckpoint::open(file);
    const struct {
        const char* label;
        Shape shape;
        Shape strides;
        CheckpointError::Kind kind;
    } hostile[] = {
        // 2^62 elements, whose byte count wrapped to 0, in more dimensions than a model's tensor has.
        {"[2] x 62, every stride 1", Shape(62, 2), Shape(62, 1), CheckpointError::Kind::malformed},
        // 2^30 elements (4 GB) over 46, and 5^15 (122 GB) over 61.
        {"[4] x 15, every stride 1", Shape(15, 4), Shape(15, 1), CheckpointError::Kind::unsupported},
        {"[5] x 15, every stride 1", Shape(15, 5), Shape(15, 1), CheckpointError::Kind::unsupported},
        {"[30000, 30000, 64] over one row", {30000, 30000, 64}, {0, 0, 1}, CheckpointError::Kind::unsupported},
        {"17 dimensions", Shape(17, 1), Shape(17, 1), CheckpointError::Kind::malformed},
    };
    for (const auto& h : hostile) {
        TensorRecord record = *checkpoint.find("t");
        record.shape = h.shape;
        record.strides = h.strides;
        for (const DType dtype : {DType::float32, DType::int64}) {
            record.dtype = dtype;
            try {
                if (dtype == DType::float32) {
                    record.toFloat32();
                } else {
                    record.toInt64();
                }
                ADD_FAILURE() << h.label << ": converted";
            } catch (const CheckpointError& error) {
                EXPECT_EQ(error.kind(), h.kind) << h.label << ": " << error.what();
            }
        }
    }
    // Repeating a few elements (as expand() saves them) stays readable.
    TensorRecord expanded = *checkpoint.find("t");
    expanded.shape = {32, 64};
    expanded.strides = {0, 1};
    EXPECT_EQ(expanded.toFloat32()->count(), 2048);
}

}  // namespace
}  // namespace rarivoredu
