#include "platform/NumberText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tessaro {
namespace {

// --- The number scanner, with the C library's sscanf in the C locale as the oracle ---

class ScanNumbersLikeSscanf : public testing::TestWithParam<const char*> {};

TEST_P(ScanNumbersLikeSscanf, ReadsTheSameRealsAndIntegers)
{
    const char* text = GetParam();
    double expectedReals[2] = {-7, -7}, reals[2] = {-7, -7};
    const int realCount = std::sscanf(text, "%lf, %lf", &expectedReals[0], &expectedReals[1]);
    EXPECT_EQ(ScanNumbers(text, "%lf, %lf", {&reals[0], &reals[1]}), std::max(realCount, 0));
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(reals[i] == expectedReals[i] || (std::isnan(reals[i]) && std::isnan(expectedReals[i]))) << i;

    int expectedInts[2] = {-7, -7};
    int32_t ints[2] = {-7, -7};
    const int intCount = std::sscanf(text, "%d, %d", &expectedInts[0], &expectedInts[1]);
    EXPECT_EQ(ScanNumbers(text, "%d, %d", {&ints[0], &ints[1]}), std::max(intCount, 0));
    EXPECT_EQ(ints[0], expectedInts[0]);
    EXPECT_EQ(ints[1], expectedInts[1]);
}

INSTANTIATE_TEST_SUITE_P(Texts, ScanNumbersLikeSscanf,
                         testing::Values("1.5, 2.5", "  -3,4", "+7,\n\t 8", "1 , 2", "1;2", "1,", "", "   ", "x, 2",
                                         "2.5e2, -1E-2", ".5, 5.", "0x10,-0", "inf, -infinity", "nan, 1",
                                         "1e999, 4e-330", "0x1p3, 12abc", "- 5, 6", "007, -0",
                                         "2147483647, -2147483648"));

TEST(ScanNumbers, IntegerBeyondInt32IsNoMatchAndLeavesItsField)
{
    int32_t values[2] = {-7, -7};
    EXPECT_EQ(ScanNumbers("4, 2147483648", "%d, %d", {&values[0], &values[1]}), 1);
    EXPECT_EQ(ScanNumbers("-99999999999999999999999", "%d", {&values[1]}), 0);
    EXPECT_EQ(values[0], 4);
    EXPECT_EQ(values[1], -7);
}

} // namespace
} // namespace tessaro
