// The console watcher's metrics without the process: what the alerts count,
// what --metrics accepts, and a scrape while a pass runs over 10,000 rows.
#include <gtest/gtest.h>
#include <prometheus/text_serializer.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "console/ConsoleRows.h"
#include "console/MeteredAlerts.h"
#include "console/MeteredLauncher.h"
#include "console/MeteredNotifier.h"
#include "console/MetricsEndpoint.h"
#include "console/WatchMetrics.h"
#include "engine/AlertDispatcher.h"
#include "engine/CCheckThread.h"
#include "engine/WatchStart.h"
#include "engine/WatchState.h"
#include "platform/CodePage.h"
#include "platform/LocalTime.h"
#include "support/FakeClock.h"
#include "support/HttpGet.h"
#include "support/LoopbackListener.h"
#include "support/NetNamespace.h"
#include "support/RecordingPrompt.h"
#include "support/SyslogReceiver.h"
#include "support/TempDir.h"

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;

std::string Exposition(const WatchMetrics& metrics) {
  return prometheus::TextSerializer().Serialize(metrics.Collect());
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

int CountOf(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

ComputerEntry Row(const std::string& utf8Name, int port) {
  ComputerEntry row;
  row[Field::ComputerName] = Cp932FromUtf8(utf8Name);
  row[Field::IpAddress] = "127.0.0.1";
  row[Field::CheckService] = "CUSTOM";
  row[Field::Port] = std::to_string(port);
  return row;
}

TEST(MetricsAddressTest, TakesNumericAddressesAndPortsOnly) {
  const std::vector<std::pair<std::string, std::string>> cases = {{"9561", "127.0.0.1:9561"},
                                                                  {"0.0.0.0:9561", "0.0.0.0:9561"},
                                                                  {"[::1]:0", "[::1]:0"},
                                                                  {"", ""},
                                                                  {"localhost:9561", ""},
                                                                  {"127.0.0.1", ""},
                                                                  {"127.0.0.1:65536", ""},
                                                                  {"127.0.0.1:-1", ""},
                                                                  {"9561s", ""},
                                                                  {"::1:9561", ""},
                                                                  {"[127.0.0.1]:9561", ""},
                                                                  {"127.0.0.1:", ""}};
  for (const auto& [given, listening] : cases) {
    EXPECT_EQ(MetricsEndpoint::ListeningAddress(given).value_or(""), listening) << given;
  }
}

TEST(MetricsEndpointTest, APortInUseIsReportedNotFatal) {
  LoopbackListener taken;
  auto metrics = std::make_shared<WatchMetrics>(std::vector<ComputerEntry>{}, 0);
  try {
    MetricsEndpoint endpoint("127.0.0.1:" + std::to_string(taken.port()), metrics);
    FAIL() << "bound a port in use";
  } catch (const std::runtime_error& error) {
    EXPECT_TRUE(Has(error.what(), std::to_string(taken.port()))) << error.what();
  }
}

// Every channel a row selects and that did not deliver is one failure:
// missing mail and net send settings, a program that is not there, and an
// event log without a receiver.
TEST(MeteredAlertsTest, CountsAlertsAndChannelsThatDidNotDeliver) {
  for (const bool eventLogReachable : {true, false}) {
    SyslogReceiver syslog;
    TempDir dir;
    AppSettings settings;
    RecordingPrompt prompt;
    const std::vector<ComputerEntry> rows = {Row("pc", 1)};
    WatchMetrics metrics(rows, 0);
    MeteredNotifier notifier(
        settings, prompt, metrics,
        NotifierOptions{.syslogSocket = eventLogReachable ? syslog.path() : dir.File("none")});
    MeteredLauncher launcher(metrics);
    FakeClock clock(MakeLocalTime(2026, 12, 8));
    RunningLog log(dir.path(), settings, clock);
    MeteredAlerts alerts(
        std::make_unique<AlertDispatcher>(settings, notifier, log, clock, launcher), metrics);

    ComputerEntry row = rows[0];
    for (const Field flag : {Field::ByMail, Field::ByNetsend, Field::ByEventlog}) {
      row[flag] = FlagText(true);
    }
    row[Field::DownProgram] = dir.File("no-such-program");
    row[Field::RestoreProgram] = "true";
    alerts.DownAlert(row, "2026/12/08 07:00:00");
    alerts.RestoreAlert(row, "2026/12/08 07:01:00");

    const std::string text = Exposition(metrics);
    const std::string eventLog = eventLogReachable ? "0" : "2";
    for (const std::string& line :
         {std::string("tarnwick_alerts_total{kind=\"down\"} 1"),
          std::string("tarnwick_alerts_total{kind=\"restore\"} 1"),
          std::string("tarnwick_alert_channel_failures_total{channel=\"mail\"} 2"),
          std::string("tarnwick_alert_channel_failures_total{channel=\"net_send\"} 2"),
          std::string("tarnwick_alert_channel_failures_total{channel=\"program\"} 1"),
          "tarnwick_alert_channel_failures_total{channel=\"event_log\"} " + eventLog}) {
      EXPECT_TRUE(Has(text, line + "\n")) << line << "\n" << text;
    }
  }
}

// Refused connects to a closed loopback port for every row; the probe of the
// middle row waits until a whole scrape has been served, so that scrape is
// known to fall inside the pass.
class MidPassNotifier final : public Notifier {
 public:
  MidPassNotifier(const AppSettings& settings, UserPrompt& prompt, int holdAtProbe)
      : Notifier(settings, prompt, NotifierOptions{.syslogSocket = "/nonexistent/log"}),
        holdAtProbe_(holdAtProbe) {}

  bool PortProbe(std::string_view address, int port) override {
    if (++probes_ == holdAtProbe_) {
      std::unique_lock lock(mutex_);
      // A bound against a hang only: the test fails on the count below.
      scraped_.wait_for(lock, 30s, [this] { return midPassScrape_.has_value(); });
    }
    return Notifier::PortProbe(address, port);
  }

  // The scraper's side: the first whole scrape taken while the cycle waits.
  bool Waiting() const { return probes_ >= holdAtProbe_; }
  void Scraped(std::string text) {
    std::lock_guard lock(mutex_);
    midPassScrape_ = std::move(text);
    scraped_.notify_all();
  }
  std::optional<std::string> midPassScrape() {
    std::lock_guard lock(mutex_);
    return midPassScrape_;
  }

 private:
  const int holdAtProbe_;
  std::atomic<int> probes_{0};
  std::mutex mutex_;
  std::condition_variable scraped_;
  std::optional<std::string> midPassScrape_;
};

// Ends the watch at its first wait between passes.
class StopAtWait final : public Sleeper {
 public:
  void SleepMs(int /*milliseconds*/) override { StopRequested = 1; }
};

class NullBeeper final : public Beeper {
 public:
  void Beep() override {}
};

TEST(WatchMetricsScrapeTest, ScrapesDuringAPassOverTenThousandRowsNeverHoldItUp) {
  constexpr int kRows = 10000;
  ClosedPort closed;
  std::vector<ComputerEntry> list;
  for (int i = 0; i < kRows; ++i)
    list.push_back(Row("pc" + std::to_string(i), closed.port()));
  list[1] = Row("東京 \\ \"本社\"", closed.port());

  TempDir dir;
  AppSettings settings;
  settings.CheckInterval = 1;
  settings.MaxRetry = 0;
  RecordingPrompt prompt;
  std::FILE* sink = std::fopen("/dev/null", "w");
  ASSERT_NE(sink, nullptr);
  ConsoleRows rows(sink);
  rows.ReplaceAll(list);
  ASSERT_TRUE(PrepareRowsForWatch(rows, prompt));
  auto metrics = std::make_shared<WatchMetrics>(rows.Snapshot(), std::time(nullptr));
  rows.SetMetrics(metrics.get());
  MetricsEndpoint endpoint("127.0.0.1:0", metrics);

  // A scraper that never reads its answer holds one of the server's threads.
  const int stalled = StalledHttpGet(endpoint.Port(), "/metrics");
  ASSERT_GE(stalled, 0);
  MidPassNotifier notifier(settings, prompt, kRows / 2 + 1);
  NullBeeper beeper;
  SystemClock clock;
  StopAtWait sleeper;
  StopRequested = 0;
  CCheckThread thread(CheckCycleServices{settings, rows, notifier, prompt, beeper, clock, sleeper,
                                         dir.path(), metrics.get()});
  ASSERT_TRUE(thread.Start());
  while (MonitorState != MonitorStateValue::Idle) {
    if (notifier.Waiting() && !notifier.midPassScrape()) {
      notifier.Scraped(HttpGet(endpoint.Port(), "/metrics").value_or("no answer"));
    }
    std::this_thread::sleep_for(1ms);
  }
  thread.Join();
  ::close(stalled);
  std::fclose(sink);

  // Half the rows were settled when the scrape was taken, and the pass ended.
  const std::string during = notifier.midPassScrape().value_or("");
  EXPECT_EQ(CountOf(during, "\ntarnwick_computer_up{"), kRows / 2);
  const std::string after = HttpGet(endpoint.Port(), "/metrics").value_or("");
  EXPECT_EQ(CountOf(after, "\ntarnwick_computer_up{"), kRows);
  EXPECT_TRUE(Has(after, "\ntarnwick_passes_total 1\n"));
  // UTF-8 labels, with quotes and backslashes escaped as the format wants.
  EXPECT_TRUE(Has(after, R"(name="東京 \\ \"本社\"")")) << after.substr(0, 2000);

  const std::string file = dir.File("scrape.txt");
  TempDir::WriteFile(file, after);
  const CommandResult check = RunCommand({"sh", "-c", "promtool check metrics < " + file});
  EXPECT_TRUE(check.ok()) << check.output;
}

}  // namespace
}  // namespace tarnwick::test
