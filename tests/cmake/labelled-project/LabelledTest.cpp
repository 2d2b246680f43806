#include <gtest/gtest.h>

TEST(LabelledTest, One) {}
TEST(LabelledTest, Two) {}
