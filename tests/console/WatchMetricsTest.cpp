// The console watcher's metrics without the process: what --metrics accepts,
// what the alerts count, and scrapes while a pass runs over 10,000 rows.
#include <gtest/gtest.h>
#include <prometheus/text_serializer.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "console/ConsoleRows.h"
#include "console/MeteredAlertChannels.h"
#include "console/MeteredAlerts.h"
#include "console/MeteredLauncher.h"
#include "console/MetricsAddress.h"
#include "console/MetricsEndpoint.h"
#include "console/TerminalBeeper.h"
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
                                                                  {"0:0", ""},
                                                                  {"[::1]:9561", ""},
                                                                  {"", ""},
                                                                  {"localhost:9561", ""},
                                                                  {"127.0.0.1", ""},
                                                                  {"127.0.0.1:65536", ""},
                                                                  {"127.0.0.1:-1", ""},
                                                                  {"9561s", ""},
                                                                  {"::1:9561", ""},
                                                                  {"[127.0.0.1]:9561", ""}};
  for (const auto& [given, listening] : cases) {
    EXPECT_EQ(MetricsListeningAddress(given).value_or(""), listening) << given;
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
    ComputerEntry row = Row("pc", 1);
    WatchMetrics metrics({row}, 0);
    MeteredAlertChannels channels(
        settings, prompt, metrics,
        AlertChannelOptions{.syslogSocket = eventLogReachable ? syslog.path() : dir.File("none")});
    MeteredLauncher launcher(metrics);
    FakeClock clock(MakeLocalTime(2026, 12, 8));
    RunningLog log(dir.path(), settings, clock);
    MeteredAlerts alerts(
        std::make_unique<AlertDispatcher>(settings, channels, log, clock, launcher), metrics);

    row[Field::ByMail] = row[Field::ByNetsend] = row[Field::ByEventlog] = FlagText(true);
    row[Field::DownProgram] = dir.File("no-such-program");
    row[Field::RestoreProgram] = "true";
    alerts.DownAlert(row, "2026/12/08 07:00:00");
    alerts.RestoreAlert(row, "2026/12/08 07:01:00");

    const std::string text = prometheus::TextSerializer().Serialize(metrics.Collect());
    const std::string failures = "tarnwick_alert_channel_failures_total{channel=";
    const std::string raised = "tarnwick_alerts_total{kind=";
    for (const std::string& line :
         {raised + "\"down\"} 1", raised + "\"restore\"} 1", failures + "\"mail\"} 2",
          failures + "\"net_send\"} 2", failures + "\"program\"} 1",
          failures + "\"event_log\"} " + (eventLogReachable ? "0" : "2")}) {
      EXPECT_EQ(CountOf(text, line + "\n"), 1) << line << "\n" << text;
    }
  }
}

// Refused connects for every row; the probe of the middle row waits until
// the test has taken a whole scrape, which so falls inside the pass.
class MidPassNotifier final : public Notifier {
 public:
  explicit MidPassNotifier(const AppSettings& settings) : Notifier(settings) {}

  bool PortProbe(std::string_view address, int port) override {
    if (++probes == kHoldAt) {
      // A bound against a hang only: the test fails on the counts.
      for (int i = 0; i < 30000 && !scraped; ++i)
        std::this_thread::sleep_for(1ms);
    }
    return Notifier::PortProbe(address, port);
  }

  static constexpr int kHoldAt = 5001;
  std::atomic<int> probes{0};
  std::atomic<bool> scraped{false};
};

// Ends the watch at its first wait between passes.
class StopAtWait final : public Sleeper {
 public:
  void SleepMs(int /*milliseconds*/) override { StopRequested = 1; }
};

TEST(WatchMetricsScrapeTest, ScrapesDuringAPassOverTenThousandRowsNeverHoldItUp) {
  ClosedPort closed;
  std::vector<ComputerEntry> list;
  for (int i = 0; i < 10000; ++i)
    list.push_back(Row("pc" + std::to_string(i), closed.port()));
  list[1] = Row(R"(東京 \ "本社")", closed.port());

  TempDir dir;
  AppSettings settings;
  settings.CheckInterval = 1;
  settings.MaxRetry = 0;
  RecordingPrompt prompt;
  std::FILE* sink = std::fopen("/dev/null", "w");
  ConsoleRows rows(sink);
  rows.ReplaceAll(list);
  ASSERT_TRUE(PrepareRowsForWatch(rows, prompt));
  auto metrics = std::make_shared<WatchMetrics>(rows.Snapshot(), std::time(nullptr));
  rows.SetMetrics(metrics.get());
  MetricsEndpoint endpoint("127.0.0.1:0", metrics);

  // A scraper that never reads its answer holds one of the server's threads.
  const int stalled = StalledHttpGet(endpoint.Port(), "/metrics");
  MidPassNotifier notifier(settings);
  AlertChannels channels(settings, prompt, AlertChannelOptions{.syslogSocket = "/nonexistent/log"});
  TerminalBeeper beeper(sink);
  SystemClock clock;
  StopAtWait sleeper;
  StopRequested = 0;
  CCheckThread thread(CheckCycleServices{settings, rows, notifier, channels, prompt, beeper, clock,
                                         sleeper, dir.path(), metrics.get()});
  ASSERT_TRUE(thread.Start());
  std::string during;
  while (MonitorState != MonitorStateValue::Idle) {
    if (notifier.probes >= MidPassNotifier::kHoldAt && !notifier.scraped) {
      during = HttpGet(endpoint.Port(), "/metrics").value_or("no answer");
      notifier.scraped = true;
    }
    std::this_thread::sleep_for(1ms);
  }
  thread.Join();
  ::close(stalled);
  std::fclose(sink);

  // Half the rows were settled when the scrape was taken, and the pass ended.
  EXPECT_EQ(CountOf(during, "\ntarnwick_computer_up{"), 5000);
  const std::string after = HttpGet(endpoint.Port(), "/metrics").value_or("");
  EXPECT_EQ(CountOf(after, "\ntarnwick_computer_up{"), 10000);
  EXPECT_EQ(CountOf(after, "\ntarnwick_passes_total 1\n"), 1);
  // UTF-8 labels, with quotes and backslashes escaped as the format wants:
  // state, last check and last change (a refused connect has no round trip).
  EXPECT_EQ(CountOf(after, R"(name="東京 \\ \"本社\"")"), 3) << after.substr(0, 2000);

  TempDir::WriteFile(dir.File("scrape.txt"), after);
  const CommandResult check =
      RunCommand({"sh", "-c", "promtool check metrics < " + dir.File("scrape.txt")});
  EXPECT_TRUE(check.ok()) << check.output;
}

}  // namespace
}  // namespace tarnwick::test
