#include <gtest/gtest.h>

#include "platform/LocalTime.h"

namespace tarnwick {
namespace {

// The text kept from the last call must never answer for another second or
// another pattern, whatever order they come in.
TEST(LocalTime, FormatsEachSecondAndPatternAfresh) {
  const std::time_t noon = MakeLocalTime(2026, 12, 8, 12, 0, 0);
  EXPECT_EQ(FormatLocalTime(noon), "2026/12/08 12:00:00");
  EXPECT_EQ(FormatLocalTime(noon), "2026/12/08 12:00:00");
  EXPECT_EQ(FormatLocalTime(noon + 1), "2026/12/08 12:00:01");
  EXPECT_EQ(FormatLocalTime(noon + 1, "%Y%m%d"), "20261208");
  char pattern[] = "%H";
  EXPECT_EQ(FormatLocalTime(noon + 1, pattern), "12");
  pattern[1] = 'S';
  EXPECT_EQ(FormatLocalTime(noon + 1, pattern), "01");
  EXPECT_EQ(FormatLocalTime(noon), "2026/12/08 12:00:00");
}

}  // namespace
}  // namespace tarnwick
