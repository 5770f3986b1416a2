#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "CheckCycleFixture.h"
#include "engine/Prober.h"
#include "support/LoopbackListener.h"
#include "support/NetNamespace.h"
#include "support/SyslogReceiver.h"

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;

// The watch with the real probes against hosts in namespaces of the test's
// own; the probes would wait 10 s for a silent host.
class WatchOverRealProbesTest : public CheckCycleTest {
 protected:
  WatchOverRealProbesTest() { settings.PingTimeOut = 10000; }

  CCheckThread watch{
      CheckCycleServices{settings, rows, notifier_, channels, prompt, beeper, clock, sleeper,
                         dir.path()},
      [this](RunningLog& log) { return std::make_unique<RecordingAlerts>(log, alertCalls); }};

 protected:
  Notifier notifier_{settings, NotifierOptions{.portProbeBound = 10s}};
};

// A stop while pings wait for a host that ignores echoes, or connects for a
// port whose SYNs are dropped, ends the watch at once, one row at a time or
// four at once: the first row's line, then the end; no result, no down.
TEST_F(WatchOverRealProbesTest, StopWakesLongPingsAndLongPortChecks) {
  TARNWICK_REQUIRE_ROOT();
  NetNamespace host;
  host.IgnoreEchoRequests(true);
  host.AddNftRule("input", "tcp dport 9 drop");
  for (const int parallel : {0, 4}) {
    for (const bool port : {false, true}) {
      SCOPED_TRACE(std::to_string(parallel) + (port ? " port" : " ping"));
      rows.ReplaceAll({});
      for (int i = 0; i < 4; ++i)
        AddRow(host.address(), "○", port ? "TCP" : "PING", "9");
      settings.ParallelChecks = parallel;
      ASSERT_TRUE(watch.Start());
      std::this_thread::sleep_for(300ms);
      const auto stopped = std::chrono::steady_clock::now();
      RequestStop();
      watch.Join();
      EXPECT_LT(std::chrono::steady_clock::now() - stopped, 2s);
      EXPECT_TRUE(alertCalls.empty());
      EXPECT_EQ(rows.Utf8Field(0, Field::Status), "確認中.");
      EXPECT_EQ(rows.Utf8Field(0, Field::LastDownTime), "");
      const std::vector<std::string> log = LogLines();
      ASSERT_EQ(log.size(), 2u);
      EXPECT_TRUE(log[0].starts_with("IPアドレス=" + host.address() + ":")) << log[0];
      EXPECT_EQ(log[1], "「Tarnwick」は、監視を終了しました。");
      TempDir::WriteFile(dir.File("LOG20070508.log"), "");
    }
  }
}

// 256 pings in flight at once, to 128 addresses in each of two namespaces,
// every seventh of them silent: each row gets its own host's answer.
TEST_F(WatchOverRealProbesTest, ManyPingsInFlightEachCreditTheirOwnRow) {
  TARNWICK_REQUIRE_ROOT();
  settings.PingTimeOut = 2000;
  settings.ParallelChecks = 256;
  NetNamespace first;
  NetNamespace second;
  std::vector<bool> silent;
  for (NetNamespace* host : {&first, &second}) {
    // Every address of the routed network is the namespace's own.
    host->RunOrThrow({"ip", "addr", "add", host->routedAddress(1) + "/24", "dev", "lo"});
    std::string dropped;
    for (int k = 1; k <= 128; ++k) {
      AddRow(host->routedAddress(k));
      silent.push_back(k % 7 == 0);
      if (k % 7 == 0) dropped += (dropped.empty() ? "" : ", ") + host->routedAddress(k);
    }
    host->AddNftRule("input", "ip daddr { " + dropped + " } icmp type echo-request drop");
  }
  ASSERT_TRUE(watch.Start());
  watch.Join();
  for (std::size_t row = 0; row < silent.size(); ++row)
    EXPECT_EQ(rows.Utf8Field(static_cast<int>(row), Field::Status), silent[row] ? "×" : "○") << row;
}

// Counts the process's descriptors and threads after the first pass and the
// last; stops the watch after 300 passes.
struct ResourceCounter final : WatchObserver {
  void PassEnded() override {
    const auto entries = [](const char* folder) {
      const std::filesystem::directory_iterator listing(folder);
      return std::distance(begin(listing), end(listing));
    };
    last = {entries("/proc/self/fd"), entries("/proc/self/task")};
    if (++ended == 1) first = last;
    if (ended == 300) RequestStop();
  }
  int ended = 0;
  std::pair<long, long> first, last;
};

// Many passes of a watch on a kept prober over loopback pings and a closed
// port, one at a time and eight at once, hold on to nothing.
TEST_F(WatchOverRealProbesTest, KeptProberHoldsDescriptorsAndThreadsOverPasses) {
  Prober prober({.stopFd = WatchStopEvent().fd()});
  if (!prober.PingAvailable()) GTEST_SKIP() << "no ICMP socket";
  ClosedPort closed;
  settings.CheckInterval = 0;
  for (int i = 1; i <= 16; ++i)
    AddRow("127.0.0." + std::to_string(i), "不明", i == 16 ? "TCP" : "PING",
           std::to_string(closed.port()));
  for (const int parallel : {0, 8}) {
    settings.ParallelChecks = parallel;
    MemoryRows store;  // the prober writes from its own thread: no recording
    store.ReplaceAll(rows.Snapshot());
    ResourceCounter counter;
    CCheckThread kept(CheckCycleServices{settings, store, notifier_, channels, prompt, beeper,
                                         clock, sleeper, dir.path(), &counter, &prober});
    ASSERT_TRUE(kept.Start());
    kept.Join();
    EXPECT_EQ(counter.ended, 300) << parallel;
    EXPECT_EQ(counter.last, counter.first) << parallel;
  }
}

}  // namespace
}  // namespace tarnwick::test
