#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "CheckCycleFixture.h"

namespace tarnwick::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using namespace std::chrono_literals;

// Answers from a script per address (the n-th probe of an address takes the
// n-th answer; after the script, no answer) and counts the probes in flight.
// Each probe lasts a little, longer for earlier rows, so that in a parallel
// pass later rows finish first. With `holdUntilStop`, every probe waits for
// the stop event as a silent host would, and ends as interrupted.
class ConcurrentNotifier final : public Notifier {
 public:
  ConcurrentNotifier(const AppSettings& settings, UserPrompt& prompt)
      : Notifier(settings, prompt, NotifierOptions{.syslogSocket = "/nonexistent/log"}) {}

  void Script(const std::string& address, std::vector<bool> answers) {
    scripts_[address] = std::move(answers);
  }

  bool PingProbe(std::string_view address) override { return Answer(address); }
  bool PortProbe(std::string_view address, int) override { return Answer(address); }
  std::string RefreshComputerName(std::string_view address) override {
    return "name-of-" + std::string(address);
  }
  bool WriteEventLog(EventType type, std::string_view text) override {
    std::lock_guard lock(mutex_);
    events.push_back(std::to_string(static_cast<int>(type)) + " " + Utf8FromCp932(text));
    return true;
  }

  bool holdUntilStop = false;
  std::atomic<int> inFlight{0};
  std::atomic<int> mostInFlight{0};
  std::atomic<int> probes{0};
  std::vector<std::string> events;

 private:
  bool Answer(std::string_view address) {
    const int now = ++inFlight;
    int most = mostInFlight.load();
    while (now > most && !mostInFlight.compare_exchange_weak(most, now)) {
    }
    ++probes;
    bool answer = false;
    {
      std::lock_guard lock(mutex_);
      const std::vector<bool>& script = scripts_[std::string(address)];
      const std::size_t n = asked_[std::string(address)]++;
      answer = n < script.size() && script[n];
    }
    if (holdUntilStop) {
      pollfd stop{WatchStopEvent().fd(), POLLIN, 0};
      if (::poll(&stop, 1, 10000) == 1) MarkProbeInterrupted();
      answer = false;
    } else {
      const int lastOctet = std::stoi(std::string(address.substr(address.rfind('.') + 1)));
      std::this_thread::sleep_for(std::chrono::microseconds(3000 - 100 * (lastOctet % 20)));
    }
    --inFlight;
    return answer;
  }

  std::mutex mutex_;
  std::map<std::string, std::vector<bool>> scripts_;
  std::map<std::string, std::size_t> asked_;
};

struct Outcome {
  std::vector<std::string> log;
  std::vector<std::string> alerts;
  std::vector<std::string> writes;
  std::vector<std::array<std::string, kFieldCount>> rows;
  int beeps = 0;
  int mostInFlight = 0;
  std::chrono::steady_clock::duration took{};
};

class ParallelCheckCycleTest : public CheckCycleTest {
 protected:
  ParallelCheckCycleTest() {
    settings.MaxRetry = 2;
    settings.ResolveNameEverytime = 1;
  }

  // Twelve rows of every kind: ping and port, each previous state, answers
  // on the first, a later or no attempt, and a second pass that differs.
  void AddMixedRows(ConcurrentNotifier& probes) {
    const char* states[] = {"不明", "○", "×"};
    const std::vector<std::vector<bool>> answers = {{true, false, false, false},
                                                    {false, false, true, true},
                                                    {false, false, false, false, true},
                                                    {false, true, true}};
    for (int i = 0; i < 12; ++i) {
      const std::string ip = "127.0.0." + std::to_string(i + 1);
      AddRow(ip, states[i % 3], i % 4 == 3 ? "TCP" : "PING", i % 4 == 3 ? "80" : "");
      rows.WriteField(i, Field::ByMail, i % 2 == 0 ? Sj("○") : "");
      probes.Script(ip, answers[static_cast<std::size_t>(i % 4)]);
    }
    rows.writes.clear();
  }

  void RunWith(Notifier& probes, const Clock& watchClock) {
    CCheckThread thread(
        CheckCycleServices{settings, rows, probes, prompt, beeper, watchClock, sleeper, dir.path()},
        [this](RunningLog& log) { return std::make_unique<RecordingAlerts>(log, alertCalls); });
    thread.SetProcessExit([this](int code) { exitCodes.push_back(code); });
    ASSERT_TRUE(thread.Start());
    thread.Join();
  }

  // Two passes over the mixed rows (or, with `stopInFlight`, a stop once
  // the probes wait for silent hosts), on a watch of its own.
  Outcome RunMixed(bool stopInFlight) {
    ConcurrentNotifier probes(settings, prompt);
    AddMixedRows(probes);
    probes.holdUntilStop = stopInFlight;
    sleeper.stopAtSleep = kSecondsPerPass + 1;
    std::thread stopper([&] {
      while (stopInFlight && probes.inFlight < std::max(settings.ParallelChecks, 1))
        std::this_thread::sleep_for(1ms);
      if (stopInFlight) RequestStop();
    });
    const auto start = std::chrono::steady_clock::now();
    RunWith(probes, clock);
    stopper.join();
    Outcome outcome{LogLines(),
                    alertCalls,
                    {},
                    {},
                    beeper.beeps,
                    probes.mostInFlight,
                    std::chrono::steady_clock::now() - start};
    for (const ComputerEntry& row : rows.Snapshot())
      outcome.rows.push_back(row.fields);
    for (const auto& write : rows.writes) {
      outcome.writes.push_back(std::to_string(write.row) + " " +
                               std::to_string(static_cast<int>(write.field)) + " " + write.text);
    }
    EXPECT_EQ(probes.inFlight, 0) << "no probe outlives the watch";
    EXPECT_EQ(probes.events.back(), "4 「Tarnwick」は、監視を終了しました。");
    EXPECT_EQ(MonitorState, MonitorStateValue::Idle);
    return outcome;
  }
};

// One watch on a fixture of its own, so a test can compare several.
class Watch final : public ParallelCheckCycleTest {
 public:
  explicit Watch(int parallel) { settings.ParallelChecks = parallel; }
  void TestBody() override {}
  Outcome Run(bool stopInFlight = false) { return RunMixed(stopInFlight); }
};

// The same list and answers, checked one at a time and N at once, leave the
// same log, alerts, field writes and rows; N is never exceeded.
TEST(ParallelCheckCycle, ParallelPassesCommitWhatASequentialPassWould) {
  const Outcome sequential = Watch(0).Run();
  ASSERT_THAT(sequential.log, Contains("[失敗]PORT接続失敗"));
  ASSERT_THAT(sequential.alerts, Contains(::testing::StartsWith("restore")));
  for (const int parallel : {1, 3, 256}) {
    const Outcome outcome = Watch(parallel).Run();
    EXPECT_THAT(outcome.log, ElementsAreArray(sequential.log)) << parallel;
    EXPECT_THAT(outcome.alerts, ElementsAreArray(sequential.alerts)) << parallel;
    EXPECT_THAT(outcome.writes, ElementsAreArray(sequential.writes)) << parallel;
    EXPECT_EQ(outcome.rows, sequential.rows) << parallel;
    EXPECT_EQ(outcome.beeps, sequential.beeps) << parallel;
    EXPECT_LE(outcome.mostInFlight, std::min(parallel, 12)) << parallel;
    if (parallel == 3) {
      EXPECT_EQ(outcome.mostInFlight, 3) << "the probes really overlap";
    }
  }
}

// A stop while every probe waits for a silent host ends the watch at once,
// in both modes, with no transition and no alert for the rows in flight.
TEST(ParallelCheckCycle, StopDuringProbesEndsTheWatchWithoutResults) {
  for (const int parallel : {0, 4}) {
    const Outcome outcome = Watch(parallel).Run(/*stopInFlight=*/true);
    EXPECT_LT(outcome.took, 2s) << parallel;
    EXPECT_THAT(outcome.alerts, IsEmpty()) << parallel;
    EXPECT_EQ(outcome.beeps, 0) << parallel;
    EXPECT_EQ(Utf8FromCp932(outcome.rows[0][FieldIndex(Field::Status)]), "確認中.") << parallel;
    for (const auto& row : outcome.rows)
      EXPECT_EQ(row[FieldIndex(Field::LastCheckTime)], "") << parallel;
    ASSERT_EQ(outcome.log.size(), 2u) << parallel;
    EXPECT_EQ(outcome.log[0].rfind("IPアドレス=127.0.0.1:コンピュータ名=name-of-127.0.0.1:", 0),
              0u);
    EXPECT_EQ(outcome.log[1], "「Tarnwick」は、監視を終了しました。");
  }
}

TEST_F(ParallelCheckCycleTest, RowsInTheDailyPauseAreLoggedInTheirPlaceAndNotProbed) {
  settings.ParallelChecks = 8;
  settings.EnableUnavailableSchedule = 1;
  settings.UnavailableHour = 9;
  settings.UnavailableInterval = 120;  // 09:00 to 11:00; the clock says 10:00
  ConcurrentNotifier probes(settings, prompt);
  AddMixedRows(probes);
  RunWith(probes, clock);
  EXPECT_EQ(probes.probes, 0);
  std::vector<std::string> expected(12, "監視の停止時間内です。9:0から120分");
  expected.push_back("監視を終了しました。");
  EXPECT_THAT(LogLines(), ElementsAreArray(expected));
}

TEST_F(ParallelCheckCycleTest, AClockSetBackStopsAParallelPassAfterItsMessage) {
  settings.ParallelChecks = 4;
  ConcurrentNotifier probes(settings, prompt);
  AddMixedRows(probes);
  // The run starts at 10:00; the first attempt's clock reads an hour earlier.
  class BackwardsClock final : public Clock {
   public:
    std::time_t Now() const override { return reads_++ == 0 ? start_ : start_ - 3600; }
    std::time_t start_ = MakeLocalTime(2007, 5, 8, 10, 0, 0);
    mutable std::atomic<int> reads_{0};
  } backwards;
  RunWith(probes, backwards);
  ASSERT_EQ(prompt.shown().size(), 1u);
  EXPECT_EQ(Utf8FromCp932(prompt.shown()[0].text),
            "時間が逆に流れました。日付の設定を確認してください。");
  EXPECT_EQ(rows.Utf8Field(0, Field::Status), "確認中.");
  EXPECT_THAT(alertCalls, IsEmpty());
  EXPECT_EQ(MonitorState, MonitorStateValue::Idle);
}

}  // namespace
}  // namespace tarnwick::test
