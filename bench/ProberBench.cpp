// bench_prober: the event-driven prober against fping -i 0 over loopback
// rows, both measured whole (the prober from opening its socket and thread
// to the last row committed in row order, fping from exec to exit), wall
// time and CPU (user + system of the process). Each round runs the cases in
// a fresh random order, so that the other load of the machine falls on all
// alike; medians.
//   300 rows with 256 and 64 in flight, 10,000 rows with 256 and 64, and
//   300 rows one echo at a time (sequential mode) on the kept socket;
//   300 hosts in two network namespaces of the run's own, 30 of them silent,
//   one attempt each with a 1000 ms time-out (fping -i 0 -r 0 -t 1000), and
//   the same 300 as concurrent ICMP probe requests to Debian's Prometheus
//   blackbox exporter on loopback (its CPU from its threads' counters).
// The console watcher is measured whole the same way: `tarnwick-watch --once`
// over the same rows (running log and page off), from exec to exit, with
// ParallelChecks 256, 64 and 0.
// Usage: bench_prober [rounds]   (default 9; needs root: namespaces, and
// fping -i 0).
#include <arpa/inet.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "BlackboxExporter.h"
#include "SilentHostsRig.h"
#include "engine/ProbePass.h"
#include "engine/Prober.h"
#include "support/WatchProcess.h"

extern char** environ;

namespace tarnwick {
namespace {

using bench::LoopbackAddress;
using Steady = std::chrono::steady_clock;

struct Cost {
  double wallMs = 0;
  double cpuMs = 0;
  bool ok = true;
};

double Ms(const timeval& time) {
  return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
}

double CpuMs(int who) {
  rusage usage{};
  ::getrusage(who, &usage);
  return Ms(usage.ru_utime) + Ms(usage.ru_stime);
}

std::vector<std::string> Addresses(int rows) {
  std::vector<std::string> addresses;
  for (int i = 0; i < rows; ++i)
    addresses.push_back(LoopbackAddress(i));
  return addresses;
}

Cost ParallelPass(const std::vector<std::string>& addresses, int inFlight, int maxRetry = 1,
                  std::size_t expectedSilent = 0) {
  const double cpuBefore = CpuMs(RUSAGE_SELF);
  const auto start = Steady::now();
  Cost cost;
  {
    Prober prober({});
    SystemClock clock;
    std::vector<ProbeTarget> targets;
    for (const std::string& address : addresses)
      targets.push_back({address, CheckMethod::Ping, 0});
    ProbePass pass(prober, clock, std::move(targets),
                   {.inFlight = inFlight, .maxRetry = maxRetry, .pingTimeoutMs = 1000});
    pass.Start();
    std::size_t silent = 0;
    for (std::size_t row = 0; row < addresses.size(); ++row) {
      ProbeResult result = ProbeResult::NoAnswer;
      for (long long attempt = 1; pass.AwaitAttemptStart(row, attempt); ++attempt)
        result = pass.AwaitAttemptResult(row, attempt);
      silent += result != ProbeResult::Answered;
    }
    cost.ok = silent == expectedSilent;
  }
  cost.wallMs = std::chrono::duration<double, std::milli>(Steady::now() - start).count();
  cost.cpuMs = CpuMs(RUSAGE_SELF) - cpuBefore;
  return cost;
}

Cost SequentialPass(const std::vector<std::string>& addresses) {
  const double cpuBefore = CpuMs(RUSAGE_SELF);
  const auto start = Steady::now();
  Cost cost;
  {
    Prober prober({});
    for (const std::string& address : addresses) {
      cost.ok = cost.ok && prober.Ping(inet_addr(address.c_str()), 1000, -1) == IcmpStatus::Success;
    }
  }
  cost.wallMs = std::chrono::duration<double, std::milli>(Steady::now() - start).count();
  cost.cpuMs = CpuMs(RUSAGE_SELF) - cpuBefore;
  return cost;
}

// Runs `argv` to its exit, its output discarded; ok when it exits `expected`.
Cost Spawned(std::vector<std::string> argv, int expected,
             const std::vector<std::string>& extraEnvironment = {}) {
  std::vector<std::string> environment = extraEnvironment;
  for (char** entry = environ; *entry != nullptr; ++entry)
    environment.emplace_back(*entry);
  std::vector<char*> envp;
  for (std::string& text : environment)
    envp.push_back(text.data());
  envp.push_back(nullptr);
  std::vector<char*> args;
  for (std::string& arg : argv)
    args.push_back(arg.data());
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = Steady::now();
  pid_t pid = 0;
  Cost cost;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) {
    cost.ok = false;
    return cost;
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  cost.wallMs = std::chrono::duration<double, std::milli>(Steady::now() - start).count();
  cost.cpuMs = Ms(usage.ru_utime) + Ms(usage.ru_stime);
  cost.ok = WIFEXITED(status) && WEXITSTATUS(status) == expected;
  posix_spawn_file_actions_destroy(&actions);
  return cost;
}

Cost Fping(const std::string& listFile, std::vector<std::string> options = {}) {
  std::vector<std::string> argv = {"fping", "-i", "0"};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back("-f");
  argv.push_back(listFile);
  // fping exits 1 when some hosts were unreachable.
  return Spawned(std::move(argv), options.empty() ? 0 : 1);
}

// A list file of ping rows and registries for `tarnwick-watch --once`.
std::string WriteWatchList(const std::string& file, const std::vector<std::string>& addresses) {
  std::ofstream out(file + ".ls2", std::ios::binary);
  out << "ZNRQ\r\n";
  for (const std::string& address : addresses)
    out << "pc," << address << ",,PING,,,,,,,,,,,\r\n";
  return file + ".ls2";
}

std::string WriteWatchRegistry(const std::string& file, int parallel, int maxRetry) {
  std::ofstream(file + ".reg" + std::to_string(parallel) + "r" + std::to_string(maxRetry))
      << test::WatchProcess::RegistryText({{"ParallelChecks", parallel},
                                           {"MaxRetry", maxRetry},
                                           {"PingTimeOut", 1000},
                                           {"RunningLog", 0},
                                           {"EnableHtml", 0}});
  return file + ".reg" + std::to_string(parallel) + "r" + std::to_string(maxRetry);
}

// The whole console watcher: one pass from exec to exit (1: some row down).
Cost Watcher(const std::string& list, const std::string& registry, bool someDown) {
  return Spawned({TARNWICK_WATCH_PATH, "--once", list}, someDown ? 1 : 0,
                 {"TARNWICK_REGISTRY=" + registry, "TARNWICK_SYSLOG_SOCKET=/nonexistent/log"});
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

int Run(int rounds) {
  const std::string listFile = "/tmp/bench_prober_" + std::to_string(::getpid()) + ".txt";
  std::map<std::string, std::function<Cost()>> cases;
  for (const int rows : {300, 10000}) {
    const std::vector<std::string> addresses = Addresses(rows);
    const std::string file = listFile + std::to_string(rows);
    std::ofstream out(file);
    for (const std::string& address : addresses)
      out << address << '\n';
    const std::string tag = std::to_string(rows) + " rows ";
    cases[tag + "fping -i 0"] = [file] { return Fping(file); };
    cases[tag + "prober 256"] = [addresses] { return ParallelPass(addresses, 256); };
    cases[tag + "prober 64"] = [addresses] { return ParallelPass(addresses, 64); };
    const std::string list = WriteWatchList(file, addresses);
    for (const int parallel : {256, 64, 0}) {
      // One row at a time over 10,000 rows says nothing the 300 do not.
      if (rows > 300 && parallel == 0) continue;
      const std::string registry = WriteWatchRegistry(file, parallel, 1);
      cases[tag + "watcher " + std::to_string(parallel)] = [list, registry] {
        return Watcher(list, registry, false);
      };
    }
  }
  const std::vector<std::string> three = Addresses(300);
  cases["300 rows sequential"] = [three] { return SequentialPass(three); };
  const bench::SilentHostsRig rig;
  const std::string rigFile = listFile + "rig";
  {
    std::ofstream out(rigFile);
    for (const std::string& address : rig.addresses())
      out << address << '\n';
  }
  cases["300 hosts fping -i 0"] = [rigFile] { return Fping(rigFile, {"-r", "0", "-t", "1000"}); };
  cases["300 hosts prober 256"] = [&rig] { return ParallelPass(rig.addresses(), 256, 0, 30); };
  cases["300 hosts prober 64"] = [&rig] { return ParallelPass(rig.addresses(), 64, 0, 30); };
  const bench::BlackboxExporter exporter;
  if (exporter.running()) {
    cases["300 hosts blackbox exporter"] = [&exporter, &rig] {
      const bench::BlackboxExporter::Probes probes = exporter.ProbeAll(rig.addresses());
      return Cost{probes.wallMs, probes.cpuMs, probes.ok && probes.succeeded == 270};
    };
  } else {
    std::printf("No blackbox exporter case: %s is not installed or did not listen.\n",
                bench::BlackboxExporter::kProgram);
  }
  const std::string rigList = WriteWatchList(rigFile, rig.addresses());
  for (const int parallel : {256, 64}) {
    const std::string registry = WriteWatchRegistry(rigFile, parallel, 0);
    cases["300 hosts watcher " + std::to_string(parallel)] = [rigList, registry] {
      return Watcher(rigList, registry, true);
    };
  }

  std::map<std::string, std::vector<double>> wall;
  std::map<std::string, std::vector<double>> cpu;
  std::map<std::string, bool> ok;
  std::mt19937 shuffler(19);  // a fixed seed: runs differ only by the machine
  for (int round = 0; round < rounds; ++round) {
    // A fresh order each round: a case that leaves the machine busy or its
    // caches cold must not weigh on the same neighbour every time, as it
    // did when the rounds only alternated.
    std::vector<std::string> order;
    for (const auto& [name, run] : cases)
      order.push_back(name);
    std::shuffle(order.begin(), order.end(), shuffler);
    for (const std::string& name : order) {
      const Cost cost = cases[name]();
      wall[name].push_back(cost.wallMs);
      cpu[name].push_back(cost.cpuMs);
      ok.try_emplace(name, true);
      ok[name] = ok[name] && cost.ok;
    }
  }
  std::printf("%-26s %10s %10s %12s  (medians of %d rounds)\n", "case", "wall ms", "cpu ms",
              "cpu us/row", rounds);
  for (const auto& [name, walls] : wall) {
    const double rows = name.rfind("10000", 0) == 0 ? 10000.0 : 300.0;
    std::printf("%-26s %10.2f %10.2f %12.2f%s\n", name.c_str(), Median(walls), Median(cpu[name]),
                Median(cpu[name]) * 1000.0 / rows, ok[name] ? "" : "  (some rows unanswered)");
  }
  for (const auto& entry : std::filesystem::directory_iterator("/tmp")) {
    if (entry.path().string().starts_with(listFile)) std::filesystem::remove(entry.path());
  }
  return 0;
}

}  // namespace
}  // namespace tarnwick

int main(int argc, char** argv) {
  return tarnwick::Run(argc > 1 ? std::max(1, std::atoi(argv[1])) : 9);
}
