#pragma once

#include <string>
#include <string_view>

#include "console/WatchMetrics.h"
#include "engine/Notifier.h"

namespace tarnwick {

// The system's probes and channels, timed and counted for the metrics: the
// round-trip time of each answered probe, and which alert channels delivered.
class MeteredNotifier final : public Notifier {
 public:
  MeteredNotifier(const AppSettings& settings, UserPrompt& prompt, WatchMetrics& metrics,
                  NotifierOptions options = {});

  bool PingProbe(std::string_view address) override;
  bool PortProbe(std::string_view address, int port) override;
  void ProbeAnswered(std::string_view address, CheckMethod method, int port,
                     std::chrono::nanoseconds roundTrip) override;
  bool WriteEventLog(EventType type, std::string_view text) override;
  NetSendResult SendNetMessage(std::string_view recipient, std::string_view text) override;
  int SendMail(std::string_view server, std::string_view sender, std::string_view recipients,
               std::string_view subject, std::string_view body) override;

 private:
  WatchMetrics& metrics_;
};

}  // namespace tarnwick
