// The console watcher's metrics: a scrape of 10,000 computers over HTTP, and
// one pass over 300 loopback rows with and without a scraper polling every
// 100 ms, in the same run.
#include <benchmark/benchmark.h>
#include <prometheus/text_serializer.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "BenchSupport.h"
#include "console/ConsoleRows.h"
#include "console/MeteredAlertChannels.h"
#include "console/MeteredNotifier.h"
#include "console/MetricsEndpoint.h"
#include "console/WatchMetrics.h"
#include "engine/CCheckThread.h"
#include "engine/WatchStart.h"
#include "engine/WatchState.h"
#include "platform/CodePage.h"
#include "support/HttpGet.h"

namespace tarnwick {
namespace {

using bench::BenchFolder;
using bench::LoopbackAddress;
using bench::QuietBeeper;
using bench::SilentPrompt;
using bench::StopAtWaitSleeper;

std::vector<ComputerEntry> PingRows(int count) {
  std::vector<ComputerEntry> rows;
  for (int i = 0; i < count; ++i) {
    ComputerEntry entry;
    entry[Field::ComputerName] = Cp932FromUtf8("計算機-" + std::to_string(i));
    entry[Field::IpAddress] = LoopbackAddress(i);
    entry[Field::CheckService] = "PING";
    rows.push_back(entry);
  }
  return rows;
}

// Every figure of every computer present, as after a long watch.
std::shared_ptr<WatchMetrics> SettledMetrics(int count) {
  const std::vector<ComputerEntry> rows = PingRows(count);
  auto metrics = std::make_shared<WatchMetrics>(rows, std::time(nullptr));
  for (int row = 0; row < count; ++row) {
    const bool down = row % 7 == 0;
    metrics->FieldWritten(row, Field::Status, down ? StatusDownText() : StatusUpText(),
                          down ? RowState::Down : RowState::Up);
    metrics->FieldWritten(row, Field::LastCheckTime, "2026/12/08 07:00:00");
    metrics->FieldWritten(row, Field::LastUpTime, "2026/12/08 06:00:00");
    metrics->ProbeAnswered(LoopbackAddress(row), WatchMetrics::kPingPort,
                           std::chrono::microseconds(80));
  }
  return metrics;
}

void BM_Scrape10000(benchmark::State& state) {
  const std::shared_ptr<WatchMetrics> metrics = SettledMetrics(10000);
  MetricsEndpoint endpoint("127.0.0.1:0", metrics);
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::optional<std::string> body = test::HttpGet(endpoint.Port(), "/metrics");
    if (!body) state.SkipWithError("the scrape failed");
    bytes = body ? body->size() : 0;
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_Scrape10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same figures collected and written without HTTP: the part a scrape
// spends on the watch's data.
void BM_Collect10000(benchmark::State& state) {
  const std::shared_ptr<WatchMetrics> metrics = SettledMetrics(10000);
  for (auto _ : state) {
    benchmark::DoNotOptimize(prometheus::TextSerializer().Serialize(metrics->Collect()));
  }
}
BENCHMARK(BM_Collect10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Polls /metrics every 100 ms until destroyed.
class PollingScraper {
 public:
  explicit PollingScraper(int port)
      : thread_([this, port] {
          while (!stop_) {
            if (test::HttpGet(port, "/metrics")) ++scrapes_;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
          }
        }) {}
  ~PollingScraper() {
    stop_ = true;
    thread_.join();
  }
  int scrapes() const { return scrapes_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<int> scrapes_{0};
  std::thread thread_;
};

// Arg 0: nobody scrapes; 1: a scraper polls every 100 ms throughout.
void BM_PassWithMetrics(benchmark::State& state) {
  constexpr int kRows = 300;
  AppSettings settings = bench::LoopbackPassSettings();
  SilentPrompt prompt;
  QuietBeeper beeper;
  SystemClock clock;
  StopAtWaitSleeper sleeper;
  BenchFolder folder;
  std::FILE* sink = std::fopen("/dev/null", "w");
  ConsoleRows rows(sink);
  rows.ReplaceAll(PingRows(kRows));
  auto metrics = std::make_shared<WatchMetrics>(rows.Snapshot(), std::time(nullptr));
  rows.SetMetrics(metrics.get());
  MetricsEndpoint endpoint("127.0.0.1:0", metrics);
  MeteredNotifier notifier(settings, *metrics);
  MeteredAlertChannels channels(settings, prompt, *metrics,
                                AlertChannelOptions{.syslogSocket = folder.File("no-syslog-here")});
  std::unique_ptr<PollingScraper> scraper;
  if (state.range(0) == 1) scraper = std::make_unique<PollingScraper>(endpoint.Port());

  for (auto _ : state) {
    state.PauseTiming();
    PrepareRowsForWatch(rows, prompt);
    WatchEnded();
    state.ResumeTiming();
    CCheckThread thread(CheckCycleServices{settings, rows, notifier, channels, prompt, beeper,
                                           clock, sleeper, folder.path(), metrics.get()});
    thread.Start();
    thread.Join();
  }
  int up = 0;
  for (const ComputerEntry& row : rows.Snapshot())
    up += row[Field::Status] == StatusUpText();
  state.counters["rows_up"] = up;
  state.counters["scrapes"] = scraper ? scraper->scrapes() : 0;
  scraper.reset();
  std::fclose(sink);
}
BENCHMARK(BM_PassWithMetrics)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tarnwick
