#include "RarivOredu/checkpoint/PickleReader.h"

#include <gtest/gtest.h>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/ZipArchive.h"
#include "tests/RarivOredu/checkpoint/PickleRepr.h"

namespace rarivoredu {
namespace {

using namespace std::string_literals;
using checkpointtest::repr;
using Kind = CheckpointError::Kind;

const std::string fixtures = PARLOQUIN_SOURCE_DIR "/tests/fixtures/checkpoint/";

std::string pickleOf(const std::string& file) {
    const ZipArchive zip = ZipArchive::open(FileRegion::open(fixtures + file + ".pt"));
    return zip.readAll(*zip.find(file + "/data.pkl"));
}

TEST(PickleReaderTest, ReadsEachKindOfValue) {
    const struct {
        const char* label;
        std::string bytes;
        const char* value;
    } cases[] = {
        {"BININT", "\x80\x02J\xfe\xff\xff\xff."s, "-2"},
        {"BININT1 BININT2 TUPLE2", "\x80\x02K\xffM\xff\xff\x86."s, "(255, 65535)"},
        {"LONG1", "\x80\x02\x8a\x01\xff\x8a\x00\x8a\x05\x00\x00\x00\x00\x01\x87."s, "(-1, 0, 4294967296)"},
        {"LONG1 of 9 bytes", "\x80\x02\x8a\x09\x01\x02\x03\x04\x05\x06\x07\x08\x09."s,
         "big'\\x01\\x02\\x03\\x04\\x05\\x06\\x07\\x08\\x09'"},
        {"LONG4", "\x80\x02\x8b\x02\x00\x00\x00\x00\x01."s, "256"},
        {"BINFLOAT", "\x80\x02G\xbf\xf8\x00\x00\x00\x00\x00\x00."s, "-1.5"},
        {"NONE NEWTRUE NEWFALSE TUPLE3", "\x80\x02N\x88\x89\x87."s, "(None, True, False)"},
        {"texts", "\x80\x02(X\x02\x00\x00\x00hi\x8c\x01" "a\x8d\x01\x00\x00\x00\x00\x00\x00\x00" "bU\x01" "cT\x01\x00\x00\x00" "dt."s,
         "('hi', 'a', 'b', 'c', 'd')"},
        {"bytes", "\x80\x03(C\x01\xff" "B\x01\x00\x00\x00" "a\x8e\x01\x00\x00\x00\x00\x00\x00\x00" "b\x96\x01\x00\x00\x00\x00\x00\x00\x00" "ct."s,
         "(b'\\xff', b'a', b'b', b'c')"},
        {"bytes of protocol 2", "\x80\x02" "c_codecs\nencode\nX\x02\x00\x00\x00\xc3\xbfX\x06\x00\x00\x00latin1\x86R."s,
         "b'\\xff'"},
        {"EMPTY_TUPLE TUPLE1", "\x80\x02)\x85."s, "((),)"},
        {"LIST APPEND APPENDS", "\x80\x02(K\x01l(K\x02K\x03" "eK\x04" "a."s, "[1, 2, 3, 4]"},
        {"DICT SETITEM SETITEMS", "\x80\x02(X\x01\x00\x00\x00" "aK\x01" "dX\x01\x00\x00\x00" "bK\x02s(K\x03K\x04u."s,
         "{'a': 1, 'b': 2, 3: 4}"},
        {"a dict keeps items of any key", "\x80\x02}(K\x03K\x04N\x88u."s, "{3: 4, None: True}"},
        {"DUP POP POP_MARK", "\x80\x02K\x01\x32(K\x02K\x03\x31K\x04\x30\x86."s, "(1, 1)"},
        {"POP of an empty mark", "\x80\x02K\x07(0."s, "7"},
        {"EMPTY_SET ADDITEMS FROZENSET", "\x80\x04\x8f(K\x01K\x02\x90(K\x03\x91\x86."s, "({1, 2}, frozenset({3}))"},
        {"builtins.set", "\x80\x02" "c__builtin__\nset\n]K\x05" "a\x85R."s, "{5}"},
        {"memo", "\x80\x02]q\x00K\x01" "ar\x05\x00\x00\x00h\x00j\x05\x00\x00\x00\x86."s, "([1], [1])"},
        {"MEMOIZE", "\x80\x04]\x94K\x09" "a\x8c\x01x\x94h\x00\x87."s, "([9], 'x', [9])"},
        {"FRAME", "\x80\x04\x95\x03\x00\x00\x00\x00\x00\x00\x00K\x02."s, "2"},
        {"OrderedDict with its attributes",
         "\x80\x02" "ccollections\nOrderedDict\n)R(X\x01\x00\x00\x00kK\x01u}X\x09\x00\x00\x00_metadataNsb."s,
         "{'k': 1}+{'_metadata': None}"},
        {"an opaque class", "\x80\x02" "cpyannote.audio.core.task\nSpecifications\n)\x81}X\x01\x00\x00\x00" "dK\x0asb."s,
         "pyannote.audio.core.task.Specifications()+{'d': 10}"},
        {"an enum", "\x80\x02" "cmod\nProblem\nK\x02\x85R."s, "mod.Problem(2,)"},
        {"NEWOBJ_EX", "\x80\x04\x8c\x01m\x8c\x01" "C\x93K\x01\x85}\x8c\x01kK\x02s\x92."s, "m.C(1,)**{'k': 2}"},
        {"a dict subclass filled by SETITEM", "\x80\x02" "ccollections\ndefaultdict\nN\x85RK\x01K\x02s."s,
         "collections.defaultdict(None,){1: 2}"},
        {"a class as a value", "\x80\x02" "cargparse\nNamespace\n."s, "argparse.Namespace"},
        {"a dtype", "\x80\x02" "ctorch\nbfloat16\n."s, "torch.bfloat16"},
        {"a storage", "\x80\x02(X\x07\x00\x00\x00storagectorch\nHalfStorage\nX\x01\x00\x00\x00" "3X\x03\x00\x00\x00" "cpuK\x06tQ."s,
         "storage(float16, '3', 6)"},
        {"a tensor", "\x80\x02" "ctorch._utils\n_rebuild_tensor_v2\n((X\x07\x00\x00\x00storagectorch\nLongStorage\n"
                     "X\x01\x00\x00\x00" "0X\x03\x00\x00\x00" "cpuK\x06tQK\x00K\x02K\x03\x86K\x03K\x01\x86\x89NtR."s,
         "tensor(int64, [2, 3])"},
        {"a tensor sized by torch.Size", "\x80\x02" "ctorch._utils\n_rebuild_tensor_v2\n((X\x07\x00\x00\x00storagectorch\nFloatStorage\n"
                                         "X\x01\x00\x00\x00" "0X\x03\x00\x00\x00" "cpuK\x02tQK\x00" "ctorch\nSize\n]K\x02" "a\x85RK\x01\x85\x89NtR."s,
         "tensor(float32, [2])"},
        {"a parameter", "\x80\x02" "ctorch._utils\n_rebuild_parameter\n" "ctorch._utils\n_rebuild_tensor_v2\n((X\x07\x00\x00\x00storagectorch\nHalfStorage\n"
                        "X\x01\x00\x00\x00" "0X\x03\x00\x00\x00" "cpuK\x01tQK\x00)))\x89NtR\x88N\x87R."s,
         "tensor(float16, [])"},
        {"a tensor over an untyped storage", "\x80\x02" "ctorch._utils\n_rebuild_tensor_v3\n((X\x07\x00\x00\x00storagectorch\nUntypedStorage\n"
                                             "X\x01\x00\x00\x00" "0X\x03\x00\x00\x00" "cpuK\x08tQK\x00K\x02\x85K\x01\x85\x89N" "ctorch\nbfloat16\n}tR."s,
         "tensor(bfloat16, [2])"},
        {"bytes after STOP", "\x80\x02K\x01.garbage"s, "1"},
    };
    for (const auto& c : cases) {
        try {
            EXPECT_EQ(repr(PickleReader::parse(c.bytes)), c.value) << c.label;
        } catch (const CheckpointError& error) {
            ADD_FAILURE() << c.label << ": " << error.what();
        }
    }
}

TEST(PickleReaderTest, RefusesBadPicklesWithAnError) {
    const struct {
        const char* label;
        std::string bytes;
        Kind kind;
    } cases[] = {
        {"nothing", "", Kind::truncated},
        {"no STOP", "\x80\x02K\x01"s, Kind::truncated},
        {"protocol 6", "\x80\x06K\x01."s, Kind::unsupported},
        {"a text opcode", "I1\n."s, Kind::unsupported},
        {"unknown memo id", "\x80\x02h\x05."s, Kind::malformed},
        {"unknown long memo id", "\x80\x02j\xff\xff\xff\xff."s, Kind::malformed},
        {"empty stack at STOP", "\x80\x02."s, Kind::malformed},
        {"APPEND on nothing", "\x80\x02]a."s, Kind::malformed},
        {"APPEND to an int", "\x80\x02K\x01K\x02" "a."s, Kind::malformed},
        {"TUPLE without MARK", "\x80\x02K\x01t."s, Kind::malformed},
        {"TUPLE3 across a mark", "\x80\x02K\x01(K\x02K\x03\x87."s, Kind::malformed},
        {"STOP inside a mark", "\x80\x02K\x01(."s, Kind::malformed},
        {"odd dict", "\x80\x02(K\x01" "d."s, Kind::malformed},
        {"SETITEM on a list", "\x80\x02]K\x01K\x02s."s, Kind::malformed},
        {"huge BINUNICODE", "\x80\x02X\xff\xff\xff\xff"s, Kind::truncated},
        {"huge BINUNICODE8", "\x80\x04\x8d\xff\xff\xff\xff\xff\xff\xff\xff"s, Kind::truncated},
        {"huge BINBYTES8", "\x80\x04\x8e\x00\x00\x00\x00\x00\x00\x00\x80"s, Kind::truncated},
        {"huge FRAME", "\x80\x04\x95\x00\x00\x00\x00\x01\x00\x00\x00K\x01."s, Kind::truncated},
        {"negative LONG4", "\x80\x02\x8b\xff\xff\xff\xff."s, Kind::malformed},
        {"negative BINSTRING", "\x80\x02T\xfe\xff\xff\xff."s, Kind::malformed},
        {"GLOBAL without newline", "\x80\x02" "ctorch"s, Kind::truncated},
        {"BUILD on None", "\x80\x02N}b."s, Kind::malformed},
        {"REDUCE with arguments not a tuple", "\x80\x02" "cmod\nf\nK\x01R."s, Kind::malformed},
        {"STACK_GLOBAL of numbers", "\x80\x04K\x01K\x02\x93."s, Kind::malformed},
        {"a persistent id not a storage", "\x80\x02X\x01\x00\x00\x00xQ."s, Kind::unsupported},
        {"a storage of complex numbers",
         "\x80\x02(X\x07\x00\x00\x00storagectorch\nComplexFloatStorage\nX\x01\x00\x00\x00" "0X\x03\x00\x00\x00" "cpuK\x01tQ."s,
         Kind::unsupported},
        {"a tensor from no storage", "\x80\x02" "ctorch._utils\n_rebuild_tensor_v2\n(K\x01K\x00)"
                                     ")\x89N" "tR."s,
         Kind::malformed},
        {"a tensor of complex numbers", "\x80\x02" "ctorch._utils\n_rebuild_tensor_v3\n((X\x07\x00\x00\x00storagectorch\nUntypedStorage\n"
                                        "X\x01\x00\x00\x00" "0X\x03\x00\x00\x00" "cpuK\x08tQK\x00K\x01\x85K\x01\x85\x89N" "ctorch\ncomplex64\n}tR."s,
         Kind::unsupported},
        {"_codecs.encode of another encoding",
         "\x80\x02" "c_codecs\nencode\nX\x01\x00\x00\x00xX\x05\x00\x00\x00" "cp437\x86R."s, Kind::unsupported},
    };
    for (const auto& c : cases) {
        try {
            PickleReader::parse(c.bytes);
            ADD_FAILURE() << c.label << ": parsed";
        } catch (const CheckpointError& error) {
            EXPECT_EQ(error.kind(), c.kind) << c.label << ": " << error.what();
        }
    }
}

TEST(PickleReaderTest, NamesThePickleAndTheByteOfAFault) {
    try {
        PickleReader::parse("\x80\x02K\x01h\x07."s, "a.pt: a/data.pkl");
        FAIL() << "parsed";
    } catch (const CheckpointError& error) {
        EXPECT_STREQ(error.what(), "a.pt: a/data.pkl (unknown memo id 7 at byte 4) is malformed");
    }
}

TEST(PickleReaderTest, DeepAndSelfReferringValuesNeitherRecurseNorLeak) {
    // A list nested 200 000 deep: reading, walking and freeing it must not use the call stack.
    const std::size_t depth = 200000;
    std::string nested = "\x80\x02"s + std::string(depth, ']') + std::string(depth - 1, 'a') + ".";
    PickleValue value = PickleReader::parse(nested);
    std::size_t levels = 1;
    while (value.size() == 1) {
        value = value[0];
        ++levels;
    }
    EXPECT_EQ(levels, depth);

    // A list holding itself (LeakSanitizer checks that it is freed).
    const PickleValue loop = PickleReader::parse("\x80\x02]q\x00h\x00" "a."s);
    ASSERT_EQ(loop.size(), 1u);
    EXPECT_EQ(loop[0][0][0].size(), 1u);
}

TEST(PickleReaderTest, EveryCutAndFlippedByteOfARealPickleFailsCleanly) {
    for (const char* file : {"opaque", "opaque-p5", "state_dict"}) {
        const std::string good = pickleOf(file);
        ASSERT_NO_THROW(PickleReader::parse(good)) << file;
        for (std::size_t length = 0; length < good.size(); ++length) {
            try {
                PickleReader::parse(std::string_view(good).substr(0, length));
                ADD_FAILURE() << file << " cut at " << length << " parsed";
            } catch (const CheckpointError&) {
            }
        }
        for (std::size_t at = 0; at < good.size(); ++at) {
            for (const unsigned char flip : {0x01, 0x80, 0xff}) {
                std::string bad = good;
                bad[at] = static_cast<char>(bad[at] ^ flip);
                try {
                    PickleReader::parse(bad);
                } catch (const CheckpointError&) {
                }
            }
        }
    }
}

}  // namespace
}  // namespace rarivoredu
