#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>

#include "CheckCycleFixture.h"
#include "engine/Prober.h"

namespace tarnwick::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAreArray;

// Answers from a script per address (its n-th probe takes the n-th answer,
// then none) and counts the probes in flight. Earlier rows' probes last
// longer, so a parallel pass finishes later rows first.
class ConcurrentNotifier final : public Notifier {
 public:
  explicit ConcurrentNotifier(const AppSettings& settings) : Notifier(settings) {}

  bool PingProbe(std::string_view address) override { return Answer(address); }
  bool PortProbe(std::string_view address, int) override { return Answer(address); }
  std::string RefreshComputerName(std::string_view address) override {
    return "name-of-" + std::string(address);
  }

  std::map<std::string, std::vector<bool>> scripts;
  std::atomic<int> inFlight{0};
  std::atomic<int> mostInFlight{0};

 private:
  bool Answer(std::string_view address) {
    const int now = ++inFlight;
    for (int most = mostInFlight; now > most && !mostInFlight.compare_exchange_weak(most, now);) {
    }
    const int lastOctet = std::stoi(std::string(address.substr(address.rfind('.') + 1)));
    std::this_thread::sleep_for(std::chrono::microseconds(3000 - 200 * lastOctet));
    std::lock_guard lock(mutex_);
    --inFlight;
    const std::vector<bool>& script = scripts[std::string(address)];
    const std::size_t n = asked_[std::string(address)]++;
    return n < script.size() && script[n];
  }

  std::mutex mutex_;
  std::map<std::string, std::size_t> asked_;
};

// What a watch left behind; the field writes as "row field text".
struct Outcome {
  std::vector<std::string> log, alerts, writes, boxes;
  std::vector<std::array<std::string, kFieldCount>> rows;
  int beeps = 0;
  int mostInFlight = 0;
};

// Two passes over twelve rows of every kind (ping and port, each previous
// state, an answer at the first, a later or no attempt, and a second pass
// that differs), names looked up each time, on a fixture of its own.
class MixedWatch final : public CheckCycleTest {
 public:
  explicit MixedWatch(int parallel) {
    const char* const kStates[] = {"不明", "○", "×"};
    settings.ParallelChecks = parallel;
    settings.MaxRetry = 2;
    settings.ResolveNameEverytime = 1;
    const std::vector<std::vector<bool>> answers = {
        {true, false, false, false}, {false, false, true, true}, {false, false, false, true}, {}};
    for (int i = 0; i < 12; ++i) {
      const std::string ip = "127.0.0." + std::to_string(i + 1);
      AddRow(ip, kStates[i % 3], i % 4 == 3 ? "TCP" : "PING", "80");
      rows.WriteField(i, Field::ByMail, i % 2 == 0 ? Sj("○") : "");
      probes_.scripts[ip] = answers[static_cast<std::size_t>(i % 4)];
    }
    rows.writes.clear();
  }
  void TestBody() override {}

  Outcome Run(const Clock* watchClock = nullptr) {
    sleeper.stopAtSleep = kSecondsPerPass + 1;
    CCheckThread thread(
        CheckCycleServices{settings, rows, probes_, channels, prompt, beeper,
                           watchClock != nullptr ? *watchClock : clock, sleeper, dir.path()},
        [this](RunningLog& log) { return std::make_unique<RecordingAlerts>(log, alertCalls); });
    EXPECT_TRUE(thread.Start());
    thread.Join();
    EXPECT_EQ(MonitorState, MonitorStateValue::Idle);
    Outcome outcome{LogLines(), alertCalls, {}, {}, {}, beeper.beeps, probes_.mostInFlight};
    for (const auto& w : rows.writes)
      outcome.writes.push_back(std::to_string(w.row) + " " +
                               std::to_string(static_cast<int>(w.field)) + " " + w.text);
    for (const auto& box : prompt.shown())
      outcome.boxes.push_back(Utf8FromCp932(box.text));
    for (const ComputerEntry& row : rows.Snapshot())
      outcome.rows.push_back(row.fields);
    return outcome;
  }

 private:
  ConcurrentNotifier probes_{settings};
};

// The same list and answers, checked one at a time and N at once, leave the
// same log, alerts, field writes and rows; N is never exceeded.
TEST(ParallelCheckCycle, ParallelPassesCommitWhatASequentialPassWould) {
  const Outcome sequential = MixedWatch(0).Run();
  ASSERT_THAT(sequential.log, Contains("[失敗]PORT接続失敗"));
  ASSERT_THAT(sequential.alerts, Contains(::testing::StartsWith("restore")));
  for (const int parallel : {1, 3, 256}) {
    const Outcome outcome = MixedWatch(parallel).Run();
    EXPECT_THAT(outcome.log, ElementsAreArray(sequential.log)) << parallel;
    EXPECT_THAT(outcome.alerts, ElementsAreArray(sequential.alerts)) << parallel;
    EXPECT_THAT(outcome.writes, ElementsAreArray(sequential.writes)) << parallel;
    EXPECT_EQ(outcome.rows, sequential.rows) << parallel;
    EXPECT_EQ(outcome.beeps, sequential.beeps) << parallel;
    EXPECT_LE(outcome.mostInFlight, parallel);
    EXPECT_GE(outcome.mostInFlight, std::min(parallel, 2)) << "the probes overlap";
  }
}

// The run starts at 10:00 and the first attempt's clock reads 09:00.
TEST(ParallelCheckCycle, AClockSetBackStopsAParallelPassAfterItsMessage) {
  struct BackwardsClock final : Clock {
    std::time_t Now() const override { return reads++ == 0 ? start : start - 3600; }
    const std::time_t start = MakeLocalTime(2007, 5, 8, 10);
    mutable std::atomic<int> reads{0};
  } backwards;
  const Outcome outcome = MixedWatch(4).Run(&backwards);
  EXPECT_THAT(outcome.boxes,
              ElementsAreArray({"時間が逆に流れました。日付の設定を確認してください。"}));
  EXPECT_EQ(Utf8FromCp932(outcome.rows[0][FieldIndex(Field::Status)]), "確認中.");
  EXPECT_EQ(outcome.log.back(), "「Tarnwick」は、監視を終了しました。");
  EXPECT_TRUE(outcome.alerts.empty());
}

// Six loopback rows on a prober, the pause from 02:00 for 30 minutes, the
// clock a minute on at each checked row's commit, names looked up each time.
class PausedWatch final : public CheckCycleTest {
 public:
  void TestBody() override {}
  // Each row's Status and whether it was checked (a probe that ran ahead has
  // an earlier check time), then the log.
  std::vector<std::string> Run(Prober& prober, int parallel, std::time_t start,
                               bool onCallingThread = false) {
    settings.ParallelChecks = parallel;
    settings.EnableUnavailableSchedule = 1;
    settings.ResolveNameEverytime = 1;
    settings.UnavailableHour = 2;
    settings.UnavailableInterval = 30;
    clock.Set(start);
    struct MinutePerCommitRows final : MemoryRows {
      explicit MinutePerCommitRows(FakeClock& fake) : clock(fake) {}
      void FieldWritten(int, Field field, std::string_view) override {
        if (field == Field::LastCheckTime) clock.Advance(60);
      }
      FakeClock& clock;
    } store(clock);
    for (int i = 0; i < 6; ++i)
      AddRow("127.0.0.1");
    store.ReplaceAll(rows.Snapshot());
    notifier.AlwaysAnswer("127.0.0.1");
    CCheckThread thread(CheckCycleServices{settings, store, notifier, channels, prompt, beeper,
                                           clock, sleeper, dir.path(), nullptr, &prober});
    EXPECT_TRUE(onCallingThread ? thread.RunOnCallingThread() : thread.Start());
    thread.Join();
    lookups = notifier.lookups;
    std::vector<std::string> seen = LogLines();
    for (const ComputerEntry& row : store.Snapshot())
      seen.push_back(Utf8FromCp932(row[Field::Status]) + row[Field::LastCheckTime].substr(0, 1));
    return seen;
  }
  int lookups = 0;
};

// The pause in force before the pass, from its fourth row (02:01) on, or
// only after it: with probes ahead of their commits or not, the rows that a
// one-at-a-time pass pauses on reaching them are paused and keep their status;
// a pause in force throughout asks the resolver about no row. The same on
// the calling thread, where every probe has ended before the first commit.
TEST(ParallelCheckCycle, ThePauseIsDecidedAtEachRowsCommitInEveryMode) {
  Prober prober({.stopFd = WatchStopEvent().fd()});
  Prober callersProber({.stopFd = WatchStopEvent().fd(), .ownThread = false});
  if (!prober.PingAvailable()) GTEST_SKIP() << "no ICMP socket";
  for (const auto& [hour, minute, firstPaused] : {std::tuple{2, 10, 0}, {1, 58, 3}, {1, 50, 6}}) {
    const std::time_t start = MakeLocalTime(2007, 5, 8, hour, minute);
    PausedWatch sequentialWatch;
    const std::vector<std::string> sequential = sequentialWatch.Run(prober, 0, start);
    for (int row = 0; row < 6; ++row)
      EXPECT_EQ(sequential.end()[row - 6] == "不明", row >= firstPaused) << row;
    EXPECT_EQ(sequentialWatch.lookups, firstPaused);
    for (const auto& [parallel, onCallingThread] :
         {std::pair{1, false}, {4, false}, {1, true}, {4, true}}) {
      PausedWatch watch;
      EXPECT_THAT(
          watch.Run(onCallingThread ? callersProber : prober, parallel, start, onCallingThread),
          ElementsAreArray(sequential))
          << hour << ":" << minute << " parallel " << parallel << " here " << onCallingThread;
      if (firstPaused == 0) {
        EXPECT_EQ(watch.lookups, 0) << "parallel " << parallel;
      }
    }
  }
}

}  // namespace
}  // namespace tarnwick::test
