// The ping probe against the cost of what it replaces (one ping process per
// check), and the accuracy of its time-out against a host that stays silent.
// Needs root: raw ICMP sockets and a network namespace.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <memory>

#include "engine/Notifier.h"
#include "support/NetNamespace.h"

namespace tarnwick {
namespace {

struct ProbeRig {
  explicit ProbeRig(int pingTimeOut) { settings.PingTimeOut = pingTimeOut; }
  AppSettings settings;
  Notifier notifier{settings};
};

void BM_PingProbeLoopback(benchmark::State& state) {
  ProbeRig rig(1000);
  for (auto _ : state) {
    if (!rig.notifier.PingProbe("127.0.0.1")) state.SkipWithError("no answer from loopback");
  }
}
BENCHMARK(BM_PingProbeLoopback)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_PingProcessLoopback(benchmark::State& state) {
  for (auto _ : state) {
    if (!test::RunCommand({"ping", "-c", "1", "-W", "1", "127.0.0.1"}).ok()) {
      state.SkipWithError("ping failed");
    }
  }
}
BENCHMARK(BM_PingProcessLoopback)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// PingTimeOut 200 against a host that ignores echo requests: each probe
// should give up after 200 ms and very little more.
void BM_PingProbeSilentHost(benchmark::State& state) {
  if (::geteuid() != 0) {
    state.SkipWithError("needs root");
    return;
  }
  test::NetNamespace host;
  host.IgnoreEchoRequests(true);
  ProbeRig rig(200);
  for (auto _ : state) {
    if (rig.notifier.PingProbe(host.address())) state.SkipWithError("the silent host answered");
  }
}
BENCHMARK(BM_PingProbeSilentHost)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(3)
    ->UseRealTime()
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace tarnwick
