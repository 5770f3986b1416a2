#include <gtest/gtest.h>

#include "engine/RunningLog.h"
#include "platform/CodePage.h"
#include "platform/LocalTime.h"
#include "support/FakeClock.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

class RunningLogTest : public ::testing::Test {
 protected:
  RunningLogTest() { settings.RunningLog = 1; }

  test::TempDir dir;
  AppSettings settings;
  test::FakeClock clock{MakeLocalTime(2007, 5, 8, 10, 0, 0)};
  RunningLog log{dir.path(), settings, clock};
};

TEST_F(RunningLogTest, LinesHaveTheTimeTheSeparatorAndCrLf) {
  log.Rotate();
  EXPECT_EQ(log.openName(), "LOG20070508.log");
  ASSERT_TRUE(log.WriteLine(Cp932FromUtf8("PING応答あり")));
  clock.Advance(1);
  ASSERT_TRUE(log.WriteLine("second"));
  EXPECT_EQ(test::TempDir::ReadFile(dir.File("LOG20070508.log")),
            "2007/05/08 10:00:00 : " + Cp932FromUtf8("PING応答あり") +
                "\r\n2007/05/08 10:00:01 : second\r\n");
}

TEST_F(RunningLogTest, RotationDeletesExactlyTheFileOfSevenDaysBefore) {
  for (const char* name : {"LOG20070430.log", "LOG20070501.log", "LOG20070502.log"}) {
    test::TempDir::WriteFile(dir.File(name), "old");
  }
  log.Rotate();
  EXPECT_TRUE(test::TempDir::Exists(dir.File("LOG20070430.log")));
  EXPECT_FALSE(test::TempDir::Exists(dir.File("LOG20070501.log")));
  EXPECT_TRUE(test::TempDir::Exists(dir.File("LOG20070502.log")));

  // The same day rotates no more; a new run does, from a closed log.
  test::TempDir::WriteFile(dir.File("LOG20070501.log"), "old");
  log.Rotate();
  EXPECT_TRUE(test::TempDir::Exists(dir.File("LOG20070501.log")));
  log.BeginRun();
  EXPECT_EQ(log.openName(), "");
  EXPECT_FALSE(log.WriteLine("between runs"));
  log.Rotate();
  EXPECT_FALSE(test::TempDir::Exists(dir.File("LOG20070501.log")));
  EXPECT_TRUE(log.WriteLine("next run"));
}

TEST_F(RunningLogTest, SameDayAppendsAndMidnightSwitchesFiles) {
  test::TempDir::WriteFile(dir.File("LOG20070508.log"), "kept\r\n");
  clock.Set(MakeLocalTime(2007, 5, 8, 23, 59, 59));
  log.Rotate();
  log.WriteLine("before");
  clock.Advance(2);
  log.WriteLine("same pass");  // no rotation yet: still the old file
  log.Rotate();
  log.WriteLine("after");
  EXPECT_EQ(test::TempDir::ReadFile(dir.File("LOG20070508.log")),
            "kept\r\n2007/05/08 23:59:59 : before\r\n2007/05/09 00:00:01 : same pass\r\n");
  EXPECT_EQ(test::TempDir::ReadFile(dir.File("LOG20070509.log")),
            "2007/05/09 00:00:01 : after\r\n");
}

TEST_F(RunningLogTest, NothingIsWrittenWhenOffOrNotOpen) {
  EXPECT_FALSE(log.WriteLine("not open"));
  settings.RunningLog = 0;
  log.Rotate();
  EXPECT_FALSE(log.WriteLine("off"));
}

TEST_F(RunningLogTest, UnopenableFolderIsSilent) {
  RunningLog broken(dir.File("missing/folder"), settings, clock);
  broken.Rotate();
  EXPECT_EQ(broken.openName(), "LOG20070508.log");
  EXPECT_FALSE(broken.WriteLine("lost"));
}

}  // namespace
}  // namespace tarnwick
