#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "Platform/system/IntegerText.h"

namespace platform {
namespace {

TEST(IntegerTextTest, ReadsSignedDecimalNumbersWithin64Bits) {
    EXPECT_EQ(int64FromText("42"), 42);
    EXPECT_EQ(int64FromText("+7"), 7);
    EXPECT_EQ(int64FromText("-0012"), -12);
    EXPECT_EQ(int64FromText("-0"), 0);
    EXPECT_EQ(int64FromText("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(int64FromText("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    for (const char* bad : {"", "+", "-", "+-5", "-+5", "1.5", " 1", "1 ", "0x10", "9223372036854775808",
                            "-9223372036854775809", "٣"}) {
        EXPECT_EQ(int64FromText(bad), std::nullopt) << bad;
    }
}

}  // namespace
}  // namespace platform
