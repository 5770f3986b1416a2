#pragma once

#include <chrono>
#include <string_view>

#include "console/WatchMetrics.h"
#include "engine/Notifier.h"

namespace tarnwick {

// The system's probes, timed for the metrics: the round-trip time of each
// answered probe.
class MeteredNotifier final : public Notifier {
 public:
  MeteredNotifier(const AppSettings& settings, WatchMetrics& metrics, NotifierOptions options = {});

  bool PingProbe(std::string_view address) override;
  bool PortProbe(std::string_view address, int port) override;
  void ProbeAnswered(std::string_view address, CheckMethod method, int port,
                     std::chrono::nanoseconds roundTrip) override;

 private:
  WatchMetrics& metrics_;
};

}  // namespace tarnwick
