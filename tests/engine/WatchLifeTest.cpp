#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>

#include "CheckCycleFixture.h"
#include "engine/AlertDispatcher.h"
#include "support/LoopbackListener.h"
#include "support/SmtpSink.h"

namespace tarnwick::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

// Holds the cycle inside the box it shows until the test lets it go.
class HoldingPrompt final : public UserPrompt {
 public:
  PromptAnswer Show(std::string_view, std::string_view, PromptIcon, PromptButtons) override {
    shown_.set_value();
    released_.wait();
    return PromptAnswer::Ok;
  }
  void AwaitShown() { shownFuture_.wait(); }
  void Release() { release_.set_value(); }

 private:
  std::promise<void> shown_;
  std::future<void> shownFuture_ = shown_.get_future();
  std::promise<void> release_;
  std::future<void> released_ = release_.get_future();
};

// Sleeps for real, telling the test when the first stoppable sleep begins.
class AnnouncingSleeper final : public Sleeper {
 public:
  void SleepMs(int milliseconds) override { real_.SleepMs(milliseconds); }
  bool SleepUnlessStopped(int milliseconds, const StopEvent& stop) override {
    if (!announced_.exchange(true)) entered_.set_value();
    return real_.SleepUnlessStopped(milliseconds, stop);
  }
  void AwaitEntered() { enteredFuture_.wait(); }

 private:
  ThreadSleeper real_;
  std::atomic<bool> announced_{false};
  std::promise<void> entered_;
  std::future<void> enteredFuture_ = entered_.get_future();
};

class WatchLifeTest : public CheckCycleTest {
 protected:
  // Runs the watch to its end; the state the end handler saw, once per run.
  std::vector<MonitorStateValue> RunToTheEnd() {
    std::vector<MonitorStateValue> seen;
    CCheckThread thread(CheckCycleServices{settings, rows, notifier, channels, prompt, beeper,
                                           clock, sleeper, dir.path()});
    thread.SetProcessExit([](int) {});
    thread.SetEndHandler([&] { seen.push_back(MonitorState.load()); });
    EXPECT_TRUE(thread.Start());
    thread.Join();
    return seen;
  }

  // A row that is mailed about when it goes down; the mail waits 30 seconds.
  void AddMailedRow(const std::string& server) {
    AddRow("127.0.0.5");
    rows.WriteField(0, Field::ByMail, FlagText(true));
    settings.SmtpServer = server;
    settings.MailFrom = "watch@example.org";
    settings.MailTo = "admin@example.org";
    settings.MailAfter30Minutes = 1;
  }

  // Stops the watch while its down alert waits before the mail.
  void StopDuringTheMailWait(AlertChannels& alertChannels) {
    AnnouncingSleeper mailWait;
    CCheckThread thread(CheckCycleServices{settings, rows, notifier, alertChannels, prompt, beeper,
                                           clock, sleeper, dir.path()},
                        [&](RunningLog& log, const AppSettings& watchSettings) {
                          return std::make_unique<AlertDispatcher>(watchSettings, alertChannels,
                                                                   log, mailWait);
                        });
    ASSERT_TRUE(thread.Start());
    mailWait.AwaitEntered();
    EXPECT_TRUE(RequestStop());
    thread.Join();
  }
};

// The front end tests MonitorState, the cycle ends on its own (here a clock
// error), then the front end's stop arrives: it must not strand the program
// at Stopping.
TEST_F(WatchLifeTest, AStopAfterTheWatchEndedOnItsOwnLeavesItIdle) {
  clock.Set(MakeLocalTime(2000, 3, 12, 23, 59, 59));
  AddRow("127.0.0.5");
  HoldingPrompt held;
  std::promise<MonitorStateValue> ended;
  CCheckThread thread(CheckCycleServices{settings, rows, notifier, channels, held, beeper, clock,
                                         sleeper, dir.path()});
  thread.SetEndHandler([&] { ended.set_value(MonitorState.load()); });
  ASSERT_TRUE(thread.Start());

  held.AwaitShown();
  ASSERT_EQ(MonitorState, MonitorStateValue::Running);
  held.Release();
  EXPECT_EQ(ended.get_future().get(), MonitorStateValue::Idle);
  EXPECT_FALSE(RequestStop());
  thread.Join();

  EXPECT_EQ(MonitorState, MonitorStateValue::Idle);
  EXPECT_EQ(StopRequested, 0);
  EXPECT_FALSE(WatchStopEvent().IsSignalled());
}

TEST_F(WatchLifeTest, EveryEndLeavesIdleBeforeTheHostIsTold) {
  AddRow("127.0.0.5");
  EXPECT_THAT(RunToTheEnd(), ElementsAre(MonitorStateValue::Idle)) << "a stop";

  notifier.onProbe = [](int) { throw std::runtime_error("probe failed"); };
  EXPECT_THAT(RunToTheEnd(), ElementsAre(MonitorStateValue::Idle)) << "an exception";

  notifier.onProbe = nullptr;
  rows.WriteField(0, Field::Status, "?");
  EXPECT_THAT(RunToTheEnd(), ElementsAre(MonitorStateValue::Idle)) << "an inconsistency";
}

TEST_F(WatchLifeTest, AStopEndsTheWaitBetweenPasses) {
  settings.CheckInterval = 999;
  AddRow("127.0.0.5");
  AnnouncingSleeper waiting;
  CCheckThread thread(CheckCycleServices{settings, rows, notifier, channels, prompt, beeper, clock,
                                         waiting, dir.path()});
  ASSERT_TRUE(thread.Start());
  waiting.AwaitEntered();
  EXPECT_TRUE(RequestStop());
  thread.Join();

  EXPECT_EQ(LogLines().back(), "監視を終了しました。");
  EXPECT_EQ(MonitorState, MonitorStateValue::Idle);
}

TEST_F(WatchLifeTest, ADownDecidedBeforeTheStopStillMailsWithoutItsWait) {
  SmtpSink sink;
  AddMailedRow(sink.address());
  StopDuringTheMailWait(channels);

  EXPECT_EQ(sink.WaitForMessages(1).size(), 1u);
  EXPECT_THAT(LogLines(), Contains("メールの送信に成功しました。"));
  EXPECT_EQ(rows.Utf8Field(0, Field::Status), "×");
}

TEST_F(WatchLifeTest, AMailServerThatNeverAnswersIsAbandonedWhenTheGraceEnds) {
  const LoopbackListener silent;
  AddMailedRow("127.0.0.1:" + std::to_string(silent.port()));
  RecordingChannels quick(settings, prompt, std::chrono::milliseconds(100));
  StopDuringTheMailWait(quick);

  const std::string abandoned =
      "監視の停止により、pc-127.0.0.5(127.0.0.5)についてのメールによる通知を送り終えられず、"
      "中止しました。";
  EXPECT_THAT(quick.events, Contains("2 「Tarnwick」は、" + abandoned));
  EXPECT_THAT(LogLines(), Contains("[エラー]" + abandoned));
  EXPECT_EQ(MonitorState, MonitorStateValue::Idle);
}

TEST_F(WatchLifeTest, TheWatchKeepsTheSettingsItStartedWith) {
  AddRow("127.0.0.5");
  notifier.onProbe = [this](int) { settings.BeepToAlert = 0; };
  RunPasses(1);
  EXPECT_EQ(beeper.beeps, 1) << "the down beeps as the settings were at the start";
}

// The notifier and the channels read the watch's copy of the settings while
// it runs, and the host's again once it has ended.
TEST_F(WatchLifeTest, TheSettingsCopyIsLentForTheRunOnly) {
  AddRow("127.0.0.5");
  const auto settingsRead = [this](auto& reader) {
    const AppSettings& read = reader.UseSettings(settings);
    reader.UseSettings(read);
    return &read;
  };
  std::vector<const AppSettings*> readDuringTheRun;
  notifier.onProbe = [&](int) {
    readDuringTheRun.push_back(settingsRead(notifier));
    readDuringTheRun.push_back(settingsRead(channels));
  };
  RunPasses(1);
  ASSERT_EQ(readDuringTheRun.size(), 2u);
  EXPECT_NE(readDuringTheRun[0], &settings);
  EXPECT_EQ(readDuringTheRun[1], readDuringTheRun[0]);
  EXPECT_EQ(settingsRead(notifier), &settings);
  EXPECT_EQ(settingsRead(channels), &settings);
}

}  // namespace
}  // namespace tarnwick::test
