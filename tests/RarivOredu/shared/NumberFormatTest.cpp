#include <gtest/gtest.h>

#include <limits>

#include "RarivOredu/shared/NumberFormat.h"

namespace rarivoredu {
namespace {

TEST(NumberFormat, ReadsLikeTheShortestDecimalWithWholeNumbersKeepingAPoint) {
    const std::pair<double, const char*> cases[] = {
        {16000.0, "16000.0"},
        {44100.0, "44100.0"},
        {0.0, "0.0"},
        {-2.0, "-2.0"},
        {0.5, "0.5"},
        {22050.5, "22050.5"},
        {1.0 / 3.0, "0.3333333333333333"},
        {1e16, "1e+16"},
        {std::numeric_limits<double>::quiet_NaN(), "nan"},
        {std::numeric_limits<double>::infinity(), "inf"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(formatShortest(value), text);
}

TEST(NumberFormat, FloatsReadAsTheShortestDecimalOfTheFloat) {
    const std::pair<float, const char*> cases[] = {
        {0.85f, "0.85"},
        {0.1f, "0.1"},
        {1.0f, "1.0"},
        {std::numeric_limits<float>::quiet_NaN(), "nan"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(formatShortestFloat(value), text);
}

}  // namespace
}  // namespace rarivoredu
