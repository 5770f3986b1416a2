// A pass over 300 namespace hosts, 30 of them silent (PingTimeOut 1000,
// MaxRetry 1): one row at a time, 64 at once, and fping over the same
// addresses; then how long a stop takes while probes wait for silent hosts.
// Needs root: network namespaces and raw ICMP sockets.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "SilentHostsRig.h"
#include "engine/CCheckThread.h"
#include "engine/MemoryRows.h"
#include "engine/WatchStart.h"
#include "engine/WatchState.h"

namespace tarnwick {
namespace {

using bench::QuietBeeper;
using bench::StopAtWaitSleeper;
using SteadyClock = std::chrono::steady_clock;

const bench::SilentHostsRig& Rig() {
  static const bench::SilentHostsRig rig;
  return rig;
}

// A watch over the rig's rows with the real probes.
class RigWatch {
 public:
  RigWatch(int parallelChecks, int pingTimeOut) {
    settings_.CheckInterval = 1;
    settings_.MaxRetry = 1;
    settings_.PingTimeOut = pingTimeOut;
    settings_.RunningLog = 1;
    settings_.ParallelChecks = parallelChecks;
    for (const std::string& address : Rig().addresses()) {
      ComputerEntry entry;
      entry[Field::IpAddress] = address;
      entry[Field::ComputerName] = address;
      entry[Field::CheckService] = "PING";
      rows_.AppendRow(entry, static_cast<int>(Rig().addresses().size()));
    }
  }

  void Start() {
    PrepareRowsForWatch(rows_, prompt_);
    WatchEnded();
    thread_ = std::make_unique<CCheckThread>(CheckCycleServices{settings_, rows_, notifier_,
                                                                channels_, prompt_, beeper_, clock_,
                                                                sleeper_, folder_.path()});
    thread_->Start();
  }
  void Join() { thread_->Join(); }

  int RowsWith(const std::string& status) const {
    int count = 0;
    for (const ComputerEntry& row : rows_.Snapshot())
      count += row[Field::Status] == status;
    return count;
  }

 private:
  AppSettings settings_;
  bench::SilentPrompt prompt_;
  QuietBeeper beeper_;
  SystemClock clock_;
  StopAtWaitSleeper sleeper_;
  bench::BenchFolder folder_;
  Notifier notifier_{settings_};
  AlertChannels channels_{settings_, prompt_,
                          AlertChannelOptions{.syslogSocket = folder_.File("no-syslog-here")}};
  MemoryRows rows_;
  std::unique_ptr<CCheckThread> thread_;
};

bool NeedsRoot(benchmark::State& state) {
  if (::geteuid() == 0) return false;
  state.SkipWithError("needs root");
  return true;
}

// Argument: ParallelChecks (0: one row at a time).
void BM_SilentHostsPass(benchmark::State& state) {
  if (NeedsRoot(state)) return;
  RigWatch watch(static_cast<int>(state.range(0)), 1000);
  for (auto _ : state) {
    watch.Start();
    watch.Join();
  }
  state.counters["rows_up"] = watch.RowsWith(StatusUpText());
  state.counters["rows_down"] = watch.RowsWith(StatusDownText());
}
BENCHMARK(BM_SilentHostsPass)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SilentHostsPass)->Arg(64)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FpingSameHosts(benchmark::State& state) {
  if (NeedsRoot(state)) return;
  std::vector<std::string> command = {"fping", "-c1", "-t", "1000", "-r", "1"};
  command.insert(command.end(), Rig().addresses().begin(), Rig().addresses().end());
  for (auto _ : state) {
    // fping exits 1 when some hosts were unreachable, as 30 are here.
    const int code = test::RunCommand(command).exitCode;
    if (code != 0 && code != 1) state.SkipWithError("fping failed; is it installed?");
  }
}
BENCHMARK(BM_FpingSameHosts)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// From the stop command to the end of the watch, while probes wait for
// silent hosts with PingTimeOut 10000. Argument: ParallelChecks.
void BM_StopLatency(benchmark::State& state) {
  if (NeedsRoot(state)) return;
  RigWatch watch(static_cast<int>(state.range(0)), 10000);
  for (auto _ : state) {
    watch.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto stop = SteadyClock::now();
    RequestStop();
    watch.Join();
    state.SetIterationTime(std::chrono::duration<double>(SteadyClock::now() - stop).count());
  }
}
BENCHMARK(BM_StopLatency)
    ->Arg(0)
    ->Arg(64)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

}  // namespace
}  // namespace tarnwick
