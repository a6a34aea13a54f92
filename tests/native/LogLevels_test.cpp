// The log pane's verbosity levels counted from 1, as the stored settings hold them.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "toolkit/Errors.h"
#include "OrvexCommonControls/cLogUtils.h"

TEST(LogLevels, CountFromOneInTheirOrder) {
  EXPECT_EQ(LogVerbToInt(lvVerbose), 1);
  EXPECT_EQ(LogVerbToInt(lvInfos), 3);
  EXPECT_EQ(LogVerbToInt(lvErrors), 6);
  for (int n = 1; n <= 6; ++n) EXPECT_EQ(LogVerbToInt(LogVerbFromInt(n)), n);
  EXPECT_EQ(LogVerbFromInt(2), lvHints);
  EXPECT_EQ(LogVerbFromInt(5), lvWarnings);
}

TEST(LogLevels, NumberOutsideOneToSixIsARangeErrorNamingIt) {
  for (int n : {0, 7, -1, INT_MIN, INT_MAX}) {
    try {
      LogVerbFromInt(n);
      ADD_FAILURE() << n << " accepted";
    } catch (const tk::ERangeError& e) {
      EXPECT_EQ(e.Message(), L"Verbosity level out of range (1..6): " + std::to_wstring(n));
    }
  }
}
