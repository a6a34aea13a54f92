// RoundHalfUp of ccMath: halves go up for positive values, negative values are truncated.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "toolkit/Errors.h"
#include "OrvexCommonControls/ccMath.h"

TEST(RoundHalfUp, PositiveHalvesGoUp) {
  EXPECT_EQ(RoundHalfUp(2.5L), 3);
  EXPECT_EQ(RoundHalfUp(0.5L), 1);
  EXPECT_EQ(RoundHalfUp(3.5L), 4);  // not to even
  EXPECT_EQ(RoundHalfUp(2.75L), 3);
}

TEST(RoundHalfUp, BelowHalfGoesDown) {
  EXPECT_EQ(RoundHalfUp(2.4999L), 2);
  EXPECT_EQ(RoundHalfUp(0.49999999999999994L), 0);
  EXPECT_EQ(RoundHalfUp(0.0L), 0);
  EXPECT_EQ(RoundHalfUp(7.0L), 7);
}

TEST(RoundHalfUp, NegativeValuesAreTruncatedTowardZero) {
  EXPECT_EQ(RoundHalfUp(-2.5L), -2);
  EXPECT_EQ(RoundHalfUp(-2.6L), -2);
  EXPECT_EQ(RoundHalfUp(-0.9L), 0);
  EXPECT_EQ(RoundHalfUp(-3.0L), -3);
}

TEST(RoundHalfUp, CountdownSeconds) {
  EXPECT_EQ(RoundHalfUp(7000 / 1000.0L), 7);
  EXPECT_EQ(RoundHalfUp(1500 / 1000.0L), 2);
  EXPECT_EQ(RoundHalfUp(1499 / 1000.0L), 1);
  EXPECT_EQ(RoundHalfUp(1200000 / 60000.0L), 20);
}

TEST(RoundHalfUp, ThirtyTwoBitLimitsFit) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  EXPECT_EQ(RoundHalfUp(static_cast<long double>(kMax)), kMax);
  EXPECT_EQ(RoundHalfUp(kMax - 0.5L), kMax);
  EXPECT_EQ(RoundHalfUp(static_cast<long double>(kMin)), kMin);
  EXPECT_EQ(RoundHalfUp(kMin - 0.5L), kMin);
}

TEST(RoundHalfUp, OutOfRangeIsARangeError) {
  constexpr long double kMax = std::numeric_limits<int32_t>::max();
  constexpr long double kMin = std::numeric_limits<int32_t>::min();
  EXPECT_THROW(RoundHalfUp(kMax + 1), tk::ERangeError);
  EXPECT_THROW(RoundHalfUp(kMax + 0.5L), tk::ERangeError);  // would wrap to the minimum
  EXPECT_THROW(RoundHalfUp(kMin - 1), tk::ERangeError);
  EXPECT_THROW(RoundHalfUp(1e30L), tk::ERangeError);
  EXPECT_THROW(RoundHalfUp(std::numeric_limits<long double>::infinity()), tk::ERangeError);
  EXPECT_THROW(RoundHalfUp(std::numeric_limits<long double>::quiet_NaN()), tk::ERangeError);
}

TEST(RoundHalfUp, RangeErrorSaysSo) {
  try {
    RoundHalfUp(5e9L);
    FAIL() << "no exception";
  } catch (const tk::ERangeError& e) {
    EXPECT_EQ(e.Message(), L"Range check error");
  }
}
