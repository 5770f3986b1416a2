#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "CheckCycleFixture.h"
#include "engine/WatchStart.h"

namespace tarnwick::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// ---------------------------------------------------------------------------
// The daily pause

struct Window {
  int hour;
  int minute;
  int length;
  std::vector<std::pair<int, int>> inside;
  std::vector<std::pair<int, int>> outside;
};

TEST(DailyWindow, BoundsAreExclusiveAndMidnightIsCrossed) {
  const std::vector<Window> windows = {
      {2, 0, 30, {{2, 1}, {2, 15}, {2, 29}}, {{2, 0}, {2, 30}, {1, 59}, {14, 10}}},
      {23, 30, 60, {{23, 31}, {23, 59}, {0, 0}, {0, 29}}, {{23, 30}, {0, 30}, {12, 0}}},
      {8, 0, 0, {}, {{8, 0}, {8, 1}, {7, 59}}},
      {0, 0, 1440, {{0, 1}, {12, 0}, {23, 59}}, {{0, 0}}},
      {2, 0, 1440, {}, {{2, 0}, {2, 1}, {1, 59}, {0, 0}}},
  };
  for (const Window& w : windows) {
    for (const auto& [h, m] : w.inside) {
      EXPECT_TRUE(InDailyWindow(h * 60 + m, w.hour, w.minute, w.length))
          << w.hour << ":" << w.minute << "+" << w.length << " at " << h << ":" << m;
    }
    for (const auto& [h, m] : w.outside) {
      EXPECT_FALSE(InDailyWindow(h * 60 + m, w.hour, w.minute, w.length))
          << w.hour << ":" << w.minute << "+" << w.length << " at " << h << ":" << m;
    }
  }
}

class PauseTest : public CheckCycleTest {
 protected:
  PauseTest() {
    settings.EnableUnavailableSchedule = 1;
    settings.UnavailableHour = 2;
    settings.UnavailableMinutes = 0;
    settings.UnavailableInterval = 30;
  }
};

TEST_F(PauseTest, RowsInsideThePauseAreNeitherReadNorChanged) {
  clock.Set(MakeLocalTime(2007, 5, 8, 2, 10, 0));
  AddRow("127.0.0.1", "○");
  AddRow("127.0.0.2", "×");
  RunPasses(1);

  EXPECT_THAT(notifier.probes, IsEmpty());
  EXPECT_THAT(rows.writes, IsEmpty());
  EXPECT_THAT(LogLines(), ElementsAre("監視の停止時間内です。2:0から30分",
                                      "監視の停止時間内です。2:0から30分", "監視を終了しました。"));
}

TEST_F(PauseTest, RowsAreCheckedAgainOnceThePauseHasPassed) {
  settings.CheckInterval = 10;
  clock.Set(MakeLocalTime(2007, 5, 8, 2, 25, 0));
  AddRow("127.0.0.1");
  sleeper.stopAtSleep = 601;  // the first second of the second wait, at 02:35
  RunWatch();
  EXPECT_THAT(notifier.probes, ElementsAre("ping 127.0.0.1"));
}

TEST_F(PauseTest, NoIntervalAndEveryRowPausedStillSeesTheStopWithinOnePass) {
  settings.CheckInterval = 0;
  clock.Set(MakeLocalTime(2007, 5, 8, 2, 10, 0));
  for (int i = 1; i <= 3; ++i)
    AddRow("127.0.0." + std::to_string(i));
  stoppingClock.stopAtRead = 40;  // somewhere in a later pass
  RunWatch();

  const std::vector<std::string> lines = LogLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "「Tarnwick」は、監視を終了しました。");
  // Every clock read after the stop belongs to at most one more row.
  EXPECT_LE(stoppingClock.reads, 40 + 2);
  EXPECT_GE(lines.size(), 4u);
  EXPECT_EQ(sleeper.sleeps, 0);
  EXPECT_EQ(MonitorState, MonitorStateValue::Idle);
}

// ---------------------------------------------------------------------------
// The running log

TEST_F(CheckCycleTest, LogLinesHaveTheirExactFormAndOrder) {
  AddRow("127.0.0.1");
  AddRow("127.0.0.2", "不明", "WEB", "80");
  rows.WriteField(0, Field::ByMail, Sj("○"));
  rows.WriteField(1, Field::ByEventlog, Sj("○"));
  rows.WriteField(1, Field::DownProgram, "/bin/true down");
  rows.WriteField(1, Field::RestoreProgram, "/bin/true up");
  notifier.AlwaysAnswer("127.0.0.1");
  notifier.onProbe = [this](int) { clock.Advance(1); };
  RunPasses(1);

  EXPECT_THAT(
      LogLines("20070508", true),
      ElementsAre("2007/05/08 10:00:00 : IPアドレス=127.0.0.1:コンピュータ名=pc-127.0.0.1:"
                  "確認方法=PING:ポート=:ByMail=○:ByNetsend=:ByEventlog=:"
                  "ダウン時の実行プログラム=:復帰時の実行プログラム=:",
                  "2007/05/08 10:00:01 : PING応答あり",
                  "2007/05/08 10:00:01 : IPアドレス=127.0.0.2:コンピュータ名=pc-127.0.0.2:"
                  "確認方法=WEB:ポート=80:ByMail=:ByNetsend=:ByEventlog=○:"
                  "ダウン時の実行プログラム=/bin/true down:復帰時の実行プログラム=/bin/true up:",
                  "2007/05/08 10:00:02 : [失敗]PORT接続失敗",
                  "2007/05/08 10:00:02 : ダウンを検出しました。",
                  "2007/05/08 10:00:02 : <down alert>",
                  "2007/05/08 10:00:03 : 監視を終了しました。"));
  // The check time is the time of the attempt, before the probe ran.
  EXPECT_EQ(rows.Utf8Field(1, Field::LastDownTime), "2007/05/08 10:00:01");
  EXPECT_EQ(channels.events.front(), "4 「Tarnwick」は、監視を開始しました。");
}

TEST_F(CheckCycleTest, TheReportPageFollowsEveryPass) {
  settings.EnableHtml = 1;
  settings.HtmlFile = dir.File("status.html");
  settings.HtmlReloadMinutes = "5";
  AddRow("127.0.0.1");
  notifier.AlwaysAnswer("127.0.0.1");
  RunPasses(2);

  const std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[2], "結果をHTMLファイルへ出力します。");
  EXPECT_EQ(lines[5], "結果をHTMLファイルへ出力します。");
  const std::string page = TempDir::ReadFile(settings.HtmlFile);
  EXPECT_NE(page.find("<table"), std::string::npos);
  EXPECT_NE(page.find("127.0.0.1"), std::string::npos);
}

TEST_F(CheckCycleTest, AWatchAcrossMidnightSwitchesFilesAtTheFirstPassAfterIt) {
  clock.Set(MakeLocalTime(2007, 5, 8, 23, 59, 30));
  AddRow("127.0.0.1");
  notifier.AlwaysAnswer("127.0.0.1");
  notifier.onProbe = [this](int number) {
    if (number == 1) clock.Advance(40);  // the first pass ends after midnight
  };
  RunPasses(2);

  const std::string row =
      "IPアドレス=127.0.0.1:コンピュータ名=pc-127.0.0.1:確認方法=PING:ポート=:ByMail=:"
      "ByNetsend=:ByEventlog=:ダウン時の実行プログラム=:復帰時の実行プログラム=:";
  EXPECT_THAT(LogLines("20070508", true),
              ElementsAre("2007/05/08 23:59:30 : " + row, "2007/05/09 00:00:10 : PING応答あり"));
  EXPECT_THAT(LogLines("20070509", true),
              ElementsAre("2007/05/09 00:01:10 : " + row, "2007/05/09 00:01:10 : PING応答あり",
                          "2007/05/09 00:01:11 : 監視を終了しました。"));
}

TEST_F(CheckCycleTest, LogOffCreatesNothing) {
  settings.RunningLog = 0;
  TempDir::WriteFile(dir.File("LOG20070501.log"), "old\r\n");
  AddRow("127.0.0.1");
  RunPasses(2);
  EXPECT_EQ(notifier.probes.size(), 2u);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_THAT(names, ElementsAre("LOG20070501.log"));
}

// ---------------------------------------------------------------------------
// The start command's preparation of the rows

TEST_F(CheckCycleTest, StartRefusesAnEmptyList) {
  EXPECT_FALSE(PrepareRowsForWatch(rows, prompt));
  ASSERT_EQ(prompt.shown().size(), 1u);
  EXPECT_EQ(Utf8FromCp932(prompt.shown()[0].text),
            "監視するコンピュータを一台以上追加してください。");
  EXPECT_EQ(Utf8FromCp932(prompt.shown()[0].caption), "注意");
  EXPECT_EQ(prompt.shown()[0].icon, PromptIcon::Exclamation);
}

TEST_F(CheckCycleTest, StartResetsStatusAndTimesAndKeepsTheRest) {
  AddRow("127.0.0.1", "×");
  AddRow("127.0.0.2", "確認中...");
  for (int row = 0; row < 2; ++row) {
    rows.WriteField(row, Field::LastUpTime, "a");
    rows.WriteField(row, Field::LastDownTime, "b");
    rows.WriteField(row, Field::LastCheckTime, "c");
    rows.WriteField(row, Field::DownProgram, "keep");
  }
  ASSERT_TRUE(PrepareRowsForWatch(rows, prompt));
  EXPECT_THAT(prompt.shown(), IsEmpty());
  for (int row = 0; row < 2; ++row) {
    EXPECT_EQ(rows.Utf8Field(row, Field::Status), "不明");
    EXPECT_EQ(rows.Utf8Field(row, Field::LastUpTime), "");
    EXPECT_EQ(rows.Utf8Field(row, Field::LastDownTime), "");
    EXPECT_EQ(rows.Utf8Field(row, Field::LastCheckTime), "");
    EXPECT_EQ(rows.Utf8Field(row, Field::DownProgram), "keep");
  }
}

}  // namespace
}  // namespace tarnwick::test
