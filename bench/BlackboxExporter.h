#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tarnwick::bench {

// Debian's Prometheus blackbox exporter as a peer: started once with an ICMP
// module of a 1000 ms time-out on a loopback port, then asked to probe many
// targets at once, each by an HTTP request of its own, as a Prometheus
// server scraping them together would.
class BlackboxExporter {
 public:
  static constexpr const char* kProgram = "/usr/bin/prometheus-blackbox-exporter";

  // Not running when the program is missing or never listened.
  BlackboxExporter();
  ~BlackboxExporter();
  BlackboxExporter(const BlackboxExporter&) = delete;
  BlackboxExporter& operator=(const BlackboxExporter&) = delete;

  bool running() const { return pid_ > 0 && port_ > 0; }

  struct Probes {
    double wallMs = 0;
    double cpuMs = 0;  // the exporter's, all its threads
    int succeeded = 0;
    bool ok = false;  // every request answered
  };
  // One request per target, all sent at once; back when every answer came.
  Probes ProbeAll(const std::vector<std::string>& targets) const;

 private:
  // The exporter's CPU time so far, all threads (nanosecond counters).
  double CpuMs() const;
  bool AwaitListening() const;

  std::string folder_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace tarnwick::bench
