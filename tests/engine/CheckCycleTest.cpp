#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "CheckCycleFixture.h"

namespace tarnwick::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr const char* kEnded = "監視を終了しました。";
constexpr const char* kPingOk = "PING応答あり";
constexpr const char* kPingFail = "[失敗]PING応答なし";

std::string PingRowLine(const std::string& ip) {
  return "IPアドレス=" + ip + ":コンピュータ名=pc-" + ip +
         ":確認方法=PING:ポート=:ByMail=:ByNetsend=:ByEventlog=:ダウン時の実行プログラム=:"
         "復帰時の実行プログラム=:";
}

// ---------------------------------------------------------------------------
// The transition table

struct Transition {
  const char* previous;
  bool answer;
  const char* status;
  bool upTimeSet;
  bool downTimeSet;
  const char* alert;  // "", "down" or "restore"
  int beeps;
  std::vector<std::string> stateLines;  // between the probe line and the end line
};

class TransitionTest : public CheckCycleTest, public ::testing::WithParamInterface<Transition> {};

TEST_P(TransitionTest, StatusTimesAlertsBeepsAndLogFollowTheTable) {
  const Transition& t = GetParam();
  AddRow("127.0.0.5", t.previous);
  rows.WriteField(0, Field::LastUpTime, "old-up");
  rows.WriteField(0, Field::LastDownTime, "old-down");
  notifier.Script("127.0.0.5", {t.answer});

  RunPasses(1);

  const std::string checkTime = Time(10, 0, 0);
  EXPECT_EQ(rows.Utf8Field(0, Field::Status), t.status);
  EXPECT_EQ(rows.Utf8Field(0, Field::LastUpTime), t.upTimeSet ? checkTime : "old-up");
  EXPECT_EQ(rows.Utf8Field(0, Field::LastDownTime), t.downTimeSet ? checkTime : "old-down");
  EXPECT_EQ(rows.Utf8Field(0, Field::LastCheckTime), checkTime);
  if (std::string(t.alert).empty()) {
    EXPECT_THAT(alertCalls, IsEmpty());
  } else {
    EXPECT_THAT(alertCalls, ElementsAre(std::string(t.alert) + " 127.0.0.5 " + checkTime));
  }
  EXPECT_EQ(beeper.beeps, t.beeps);

  std::vector<std::string> expected = {PingRowLine("127.0.0.5"), t.answer ? kPingOk : kPingFail};
  expected.insert(expected.end(), t.stateLines.begin(), t.stateLines.end());
  expected.push_back(kEnded);
  EXPECT_THAT(LogLines(), ElementsAreArray(expected));
}

INSTANTIATE_TEST_SUITE_P(
    CheckCycle, TransitionTest,
    ::testing::Values(
        Transition{"不明", true, "○", true, false, "", 0, {}},
        Transition{"○", true, "○", false, false, "", 0, {}},
        Transition{"×", true, "○", true, false, "restore", 0, {"復帰を認識しました。"}},
        Transition{
            "不明", false, "×", false, true, "down", 1, {"ダウンを検出しました。", "<down alert>"}},
        Transition{
            "○", false, "×", false, true, "down", 1, {"ダウンを検出しました。", "<down alert>"}},
        Transition{
            "×", false, "×", false, false, "", 1, {"ダウンを検出しました。すでに通知済みです。"}}));

TEST_F(CheckCycleTest, NoBeepWhenBeepingIsOff) {
  settings.BeepToAlert = 0;
  AddRow("127.0.0.5", "○");
  RunPasses(1);
  EXPECT_EQ(beeper.beeps, 0);
  EXPECT_EQ(rows.Utf8Field(0, Field::Status), "×");
}

// The add dialog accepts a 128-byte name; the log gets it whole.
TEST_F(CheckCycleTest, AMaximalNameReachesTheLogWhole) {
  AddRow("127.0.0.5", "○");
  const std::string name(128, 'n');
  rows.WriteField(0, Field::ComputerName, name);
  RunPasses(1);
  EXPECT_NE(LogLines().at(0).find("コンピュータ名=" + name + ":"), std::string::npos);
}

// ---------------------------------------------------------------------------
// The inconsistency stop

TEST_F(CheckCycleTest, UnknownStatusTextWithAnAnswerStopsTheProcess) {
  AddRow("127.0.0.5", "確認中.");
  notifier.AlwaysAnswer("127.0.0.5");
  RunWatch();

  EXPECT_THAT(exitCodes, ElementsAre(1));
  EXPECT_THAT(LogLines(), ElementsAre(PingRowLine("127.0.0.5"), kPingOk,
                                      "[エラー]ソフトウェアで矛盾が発生しました。"));
  ASSERT_EQ(prompt.shown().size(), 1u);
  EXPECT_EQ(Utf8FromCp932(prompt.shown()[0].text),
            "ソフトウェアで矛盾が発生しました。強制終了します。");
  EXPECT_EQ(Utf8FromCp932(prompt.shown()[0].caption), "確認");
  // The row keeps its checking text and gets no check time.
  EXPECT_EQ(rows.Utf8Field(0, Field::Status), "確認中.");
  EXPECT_EQ(rows.Utf8Field(0, Field::LastCheckTime), "");
  EXPECT_EQ(beeper.beeps, 0);
}

TEST_F(CheckCycleTest, UnknownStatusTextWithoutAnswerBeepsLogsAndStopsTheProcess) {
  AddRow("127.0.0.5", "down?");
  RunWatch();

  EXPECT_THAT(exitCodes, ElementsAre(1));
  EXPECT_EQ(beeper.beeps, 1);
  EXPECT_THAT(LogLines(), ElementsAre(PingRowLine("127.0.0.5"), kPingFail,
                                      "ダウンを検出しました。すでに通知済みです。",
                                      "[エラー]ソフトウェアで矛盾が発生しました。"));
  EXPECT_THAT(alertCalls, IsEmpty());
}

TEST_F(CheckCycleTest, InconsistencyEndsTheRealProcessWithExitCodeOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  AddRow("127.0.0.5", "?");
  EXPECT_EXIT(
      {
        CCheckThread thread(CheckCycleServices{settings, rows, notifier, channels, prompt, beeper,
                                               clock, sleeper, dir.path()});
        thread.Start();
        thread.Join();
        std::_Exit(0);  // only reached if the cycle did not end the process
      },
      ::testing::ExitedWithCode(1), "");
}

// ---------------------------------------------------------------------------
// Attempts

TEST_F(CheckCycleTest, SilentHostGetsMaxRetryPlusOneAttemptsAndOneDownAlert) {
  settings.MaxRetry = 5;
  AddRow("127.0.0.7", "○");
  RunPasses(2);

  EXPECT_THAT(rows.WritesOf(0, Field::Status),
              ElementsAre("確認中.", "確認中..", "確認中...", "確認中....", "確認中.....",
                          "確認中......", "×", "確認中.", "確認中..", "確認中...", "確認中....",
                          "確認中.....", "確認中......", "×"));
  EXPECT_EQ(notifier.probes.size(), 12u);
  EXPECT_EQ(alertCalls.size(), 1u);
  EXPECT_EQ(beeper.beeps, 2);

  const std::vector<std::string> sixFailures(6, kPingFail);
  std::vector<std::string> expected = {PingRowLine("127.0.0.7")};
  expected.insert(expected.end(), sixFailures.begin(), sixFailures.end());
  expected.insert(expected.end(), {"ダウンを検出しました。", "<down alert>"});
  expected.push_back(PingRowLine("127.0.0.7"));
  expected.insert(expected.end(), sixFailures.begin(), sixFailures.end());
  expected.insert(expected.end(), {"ダウンを検出しました。すでに通知済みです。", kEnded});
  EXPECT_THAT(LogLines(), ElementsAreArray(expected));
}

TEST_F(CheckCycleTest, AnAnswerOnTheThirdAttemptCounts) {
  settings.MaxRetry = 5;
  AddRow("127.0.0.7", "○");
  notifier.Script("127.0.0.7", {false, false, true});
  RunPasses(1);

  EXPECT_THAT(rows.WritesOf(0, Field::Status),
              ElementsAre("確認中.", "確認中..", "確認中...", "○"));
  EXPECT_THAT(LogLines(),
              ElementsAre(PingRowLine("127.0.0.7"), kPingFail, kPingFail, kPingOk, kEnded));
  EXPECT_THAT(alertCalls, IsEmpty());
  EXPECT_EQ(beeper.beeps, 0);
}

TEST_F(CheckCycleTest, DotsStopWhereTheStatusColumnEnds) {
  settings.MaxRetry = 300;
  AddRow("127.0.0.7", "○");
  RunPasses(1);
  EXPECT_EQ(notifier.probes.size(), 301u);
  const std::vector<std::string> writes = rows.WritesOf(0, Field::Status);
  ASSERT_EQ(writes.size(), 302u);
  EXPECT_EQ(writes[300], "確認中" + std::string(249, '.'));  // 255 bytes in CP932
  EXPECT_EQ(writes[301], "×");
}

TEST_F(CheckCycleTest, OnlyExactPingIsAPingAndABadPortIsPortZero) {
  AddRow("127.0.0.1", "不明", "ping", "80");
  AddRow("127.0.0.2", "不明", "WEB", "x1");
  AddRow("127.0.0.3", "不明", "POP3", "110");
  // The port is read as atoi reads it: blanks and a sign come before the digits.
  AddRow("127.0.0.4", "不明", "WEB", " 80");
  AddRow("127.0.0.5", "不明", "WEB", "+80");
  AddRow("127.0.0.6", "不明", "WEB", "-80");
  RunPasses(1);
  EXPECT_THAT(notifier.probes,
              ElementsAre("port 127.0.0.1:80", "port 127.0.0.2:0", "port 127.0.0.3:110",
                          "port 127.0.0.4:80", "port 127.0.0.5:80", "port 127.0.0.6:-80"));
  EXPECT_EQ(LogLines()[1], "[失敗]PORT接続失敗");
}

TEST_F(CheckCycleTest, ResolvedNameIsWrittenIntoTheRowAndLogged) {
  settings.ResolveNameEverytime = 1;
  AddRow("127.0.0.9");
  RunPasses(1);
  EXPECT_EQ(rows.Utf8Field(0, Field::ComputerName), "host-of-127.0.0.9");
  EXPECT_EQ(LogLines()[0].rfind("IPアドレス=127.0.0.9:コンピュータ名=host-of-127.0.0.9:", 0), 0u);
}

// ---------------------------------------------------------------------------
// The ends of a watch

TEST_F(CheckCycleTest, StopDuringTheWaitIsSeenAtTheNextSecond) {
  AddRow("127.0.0.5");
  sleeper.stopAtSleep = 30;
  RunWatch();

  EXPECT_EQ(sleeper.sleeps, 30);
  EXPECT_EQ(LogLines().back(), kEnded);
  EXPECT_THAT(channels.events, ElementsAre("4 「Tarnwick」は、監視を開始しました。",
                                           "4 「Tarnwick」は、監視を終了しました。"));
  EXPECT_EQ(StopRequested, 0);
  EXPECT_EQ(MonitorState, MonitorStateValue::Idle);
}

TEST_F(CheckCycleTest, StopBeforeAnAttemptLeavesTheRowChecking) {
  AddRow("127.0.0.5");
  AddRow("127.0.0.6");
  notifier.onProbe = [](int) { RequestStop(); };
  RunWatch();

  EXPECT_THAT(notifier.probes, ElementsAre("ping 127.0.0.5"));
  EXPECT_EQ(rows.Utf8Field(0, Field::Status), "×");
  EXPECT_EQ(rows.Utf8Field(1, Field::Status), "確認中.");
  EXPECT_EQ(rows.Utf8Field(1, Field::LastCheckTime), "");
  EXPECT_EQ(LogLines().back(), "「Tarnwick」は、監視を終了しました。");
  EXPECT_EQ(channels.events.back(), "4 「Tarnwick」は、監視を終了しました。");
  EXPECT_EQ(sleeper.sleeps, 0);
  EXPECT_EQ(MonitorState, MonitorStateValue::Idle);
}

// The main window starts many watches in one process, and may start them on
// one object: each run reports its own first HTML failure and rotates its log.
TEST_F(CheckCycleTest, EveryRunOfOneObjectStartsWithFreshPerRunState) {
  settings.EnableHtml = 1;
  settings.HtmlFile = dir.File("no-such-folder/status.html");
  AddRow("127.0.0.5");
  CCheckThread thread(CheckCycleServices{settings, rows, notifier, channels, prompt, beeper, clock,
                                         sleeper, dir.path()});
  const std::string weekOld = dir.File("LOG20070501.log");
  const std::string failure =
      "2 「Tarnwick」は、HTMLファイルを出力しようとしましたが失敗しました。";
  const auto failures = [&] {
    return std::count_if(channels.events.begin(), channels.events.end(),
                         [&](const std::string& e) { return e.starts_with(failure); });
  };
  const std::string failureLine =
      "[エラー]HTMLファイルの生成に失敗しました。イベントログを確認してください。";

  for (int run = 1; run <= 2; ++run) {
    TempDir::WriteFile(weekOld, "a week old");
    sleeper.stopAtSleep = sleeper.sleeps + kSecondsPerPass + 1;  // two passes
    ASSERT_TRUE(thread.Start()) << run;
    thread.Join();
    EXPECT_EQ(MonitorState, MonitorStateValue::Idle);
    EXPECT_EQ(failures(), run) << "one report per run";
    EXPECT_FALSE(TempDir::Exists(weekOld)) << "run " << run << " rotated its log";
    const std::vector<std::string> lines = LogLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), failureLine), run);
    EXPECT_EQ(lines.back(), kEnded);
  }
}

TEST_F(CheckCycleTest, DestroyingARunningWatchStopsItInOrder) {
  settings.CheckInterval = 999;
  sleeper.stopAtSleep = -1;
  AddRow("127.0.0.5");
  {
    CCheckThread thread(CheckCycleServices{settings, rows, notifier, channels, prompt, beeper,
                                           clock, sleeper, dir.path()});
    ASSERT_TRUE(thread.Start());
  }
  EXPECT_EQ(channels.events.back(), "4 「Tarnwick」は、監視を終了しました。");
  EXPECT_EQ(StopRequested, 0);
  EXPECT_EQ(MonitorState, MonitorStateValue::Idle);
}

TEST_F(CheckCycleTest, ClockBeforeTheValidDateShowsItsMessageAndEndsTheWatch) {
  clock.Set(MakeLocalTime(2000, 3, 12, 23, 59, 59));
  AddRow("127.0.0.5");
  RunWatch();

  ASSERT_EQ(prompt.shown().size(), 1u);
  EXPECT_EQ(Utf8FromCp932(prompt.shown()[0].text),
            "日付の設定に誤りがあります。コンピュータの今日の日付が正しく設定されているか、"
            "確認してください。");
  EXPECT_EQ(Utf8FromCp932(prompt.shown()[0].caption), "確認");
  EXPECT_THAT(notifier.probes, IsEmpty());
  EXPECT_EQ(rows.Utf8Field(0, Field::Status), "確認中.");
  EXPECT_EQ(channels.events.back(), "4 「Tarnwick」は、監視を終了しました。");
  EXPECT_EQ(StopRequested, 0);
  EXPECT_EQ(MonitorState, MonitorStateValue::Idle);
}

TEST_F(CheckCycleTest, TheFirstValidDateIsAccepted) {
  clock.Set(MakeLocalTime(2000, 3, 13, 0, 0, 0));
  AddRow("127.0.0.5");
  RunPasses(1);
  EXPECT_THAT(prompt.shown(), IsEmpty());
  EXPECT_EQ(notifier.probes.size(), 1u);
}

TEST_F(CheckCycleTest, ClockSetBackShowsItsMessageAndEndsTheWatch) {
  AddRow("127.0.0.5");
  AddRow("127.0.0.6");
  notifier.onProbe = [this](int) { clock.Advance(-1); };
  RunWatch();

  ASSERT_EQ(prompt.shown().size(), 1u);
  EXPECT_EQ(Utf8FromCp932(prompt.shown()[0].text),
            "時間が逆に流れました。日付の設定を確認してください。");
  EXPECT_EQ(Utf8FromCp932(prompt.shown()[0].caption), "確認");
  EXPECT_THAT(notifier.probes, ElementsAre("ping 127.0.0.5"));
  EXPECT_EQ(LogLines().back(), "「Tarnwick」は、監視を終了しました。");
  EXPECT_EQ(MonitorState, MonitorStateValue::Idle);
}

}  // namespace
}  // namespace tarnwick::test
