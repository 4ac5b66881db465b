#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/value_word.h"

TEST(ValueWord, ToInt32FollowsEcmaScript)
{
    struct Case {
        double in;
        int32_t out;
    } cases[] = {
        {0.0, 0},
        {-0.0, 0},
        {250.9, 250},
        {-250.9, -250},
        {std::numeric_limits<double>::quiet_NaN(), 0},
        {INFINITY, 0},
        {-INFINITY, 0},
        {4294967296.0, 0},
        {4294967295.0, -1},
        {2147483648.0, INT32_MIN},
        {-2147483649.0, INT32_MAX},
        {1e300, 0},
        {-1e300, 0},
        {3000000000.7, -1294967296},
        {-2147483648.7, INT32_MIN},
        {std::numeric_limits<double>::denorm_min(), 0},
        {9007199254740993.0, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(host_to_int32(c.in), c.out) << c.in;
}

TEST(ValueWord, WordsAndTheTruthTest)
{
    EXPECT_EQ(vw_from_int(5), 11u);
    EXPECT_EQ(vw_to_int(vw_from_int(-7)), -7);
    EXPECT_EQ(vw_to_int(vw_from_int(VW_INT_MIN)), VW_INT_MIN);
    EXPECT_TRUE(vw_truth(VW_TRUE));
    EXPECT_TRUE(vw_truth(VW_UNDEFINED));
    EXPECT_FALSE(vw_truth(VW_FALSE));
    EXPECT_FALSE(vw_truth(VW_NULL));
    for (int i = 0; i <= 3; i++)
        EXPECT_FALSE(vw_truth(vw_from_int(i))) << i;
    EXPECT_TRUE(vw_truth(vw_from_int(4)));
    EXPECT_TRUE(vw_truth(vw_from_int(-1)));
    EXPECT_TRUE(vw_truth(0x1000u)); // an object word
}
