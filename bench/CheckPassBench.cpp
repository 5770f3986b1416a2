// One pass of the check cycle over 300 loopback rows (ping, running log on)
// against a shell loop that pings the same addresses one by one.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchSupport.h"
#include "engine/CCheckThread.h"
#include "engine/MemoryRows.h"
#include "engine/Prober.h"
#include "engine/WatchStart.h"
#include "engine/WatchState.h"

namespace tarnwick {
namespace {

using bench::BenchFolder;
using bench::LoopbackAddress;
using bench::QuietBeeper;
using bench::SilentPrompt;
using bench::StopAtWaitSleeper;

constexpr int kRows = 300;

// Arg 1: the pings on a prober kept for every watch, as the front ends do;
// 0: a socket per echo.
void BM_CheckPass(benchmark::State& state) {
  AppSettings settings = bench::LoopbackPassSettings();
  SilentPrompt prompt;
  QuietBeeper beeper;
  SystemClock clock;
  StopAtWaitSleeper sleeper;
  BenchFolder folder;
  Notifier notifier(settings);
  AlertChannels channels(settings, prompt,
                         AlertChannelOptions{.syslogSocket = folder.path() + "/no-syslog-here"});

  MemoryRows rows;
  for (int i = 0; i < kRows; ++i) {
    ComputerEntry entry;
    entry[Field::ComputerName] = "pc" + std::to_string(i);
    entry[Field::IpAddress] = LoopbackAddress(i);
    entry[Field::CheckService] = "PING";
    rows.AppendRow(entry, kRows);
  }

  Prober prober({.stopFd = WatchStopEvent().fd()});
  int up = 0;
  for (auto _ : state) {
    state.PauseTiming();
    PrepareRowsForWatch(rows, prompt);
    WatchEnded();
    state.ResumeTiming();

    CCheckThread thread(CheckCycleServices{settings, rows, notifier, channels, prompt, beeper,
                                           clock, sleeper, folder.path(), nullptr,
                                           state.range(0) == 1 ? &prober : nullptr});
    thread.Start();
    thread.Join();

    state.PauseTiming();
    up = 0;
    for (const ComputerEntry& row : rows.Snapshot())
      up += row[Field::Status] == StatusUpText();
    state.ResumeTiming();
  }
  state.counters["rows_up"] = up;
  state.counters["per_row"] = benchmark::Counter(
      kRows, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CheckPass)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ShellPingLoop(benchmark::State& state) {
  std::string command = "for a in";
  for (int i = 0; i < kRows; ++i)
    command += " " + LoopbackAddress(i);
  command += "; do ping -c 1 -W 1 $a >/dev/null 2>&1; done";
  const std::string shell = "/bin/sh -c '" + command + "'";
  for (auto _ : state) {
    if (std::system(shell.c_str()) != 0) state.SkipWithError("the shell loop failed");
  }
  state.counters["per_row"] = benchmark::Counter(
      kRows, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ShellPingLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace tarnwick
