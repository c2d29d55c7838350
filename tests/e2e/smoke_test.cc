#include <gtest/gtest.h>
#include <cstdlib>

TEST(Smoke, BinaryRuns) { EXPECT_EQ(std::system(VOSSIK_BINARY " >/dev/null"), 0); }
