#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

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

// A log that cannot be opened or written is reported once a day, and the
// watch goes on without it.
TEST_F(RunningLogTest, AFolderOrDiskThatFailsIsReportedOnceADay) {
  std::vector<std::string> reports;
  const auto record = [&reports](std::string_view text) { reports.push_back(Utf8FromCp932(text)); };
  RunningLog broken(dir.File("missing/folder"), settings, clock);
  broken.AddFailureReport(record);
  broken.Rotate();
  EXPECT_EQ(broken.openName(), "LOG20070508.log");
  EXPECT_FALSE(broken.WriteLine("lost"));
  broken.BeginRun();
  broken.Rotate();  // the same day again: no second report
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], "「Tarnwick」は、稼働ログ " + dir.File("missing/folder/LOG20070508.log") +
                            " に書き込めませんでした（No such file or directory）。"
                            "ログを残さずに監視を続けます。");
  clock.Set(MakeLocalTime(2007, 5, 9, 0, 0, 1));
  broken.Rotate();
  EXPECT_EQ(reports.size(), 2u);

  // A full disk: every write fails, one report.
  reports.clear();
  ASSERT_EQ(::symlink("/dev/full", dir.File("LOG20070509.log").c_str()), 0);
  log.AddFailureReport(record);
  log.Rotate();
  EXPECT_FALSE(log.WriteLine("first"));
  EXPECT_FALSE(log.WriteLine("second"));
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("No space left on device"), std::string::npos) << reports[0];
}

}  // namespace
}  // namespace tarnwick
