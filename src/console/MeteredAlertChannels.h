#pragma once

#include <string_view>

#include "console/WatchMetrics.h"
#include "engine/AlertChannels.h"

namespace tarnwick {

// The system's alert channels, counted for the metrics: which of them
// delivered.
class MeteredAlertChannels final : public AlertChannels {
 public:
  MeteredAlertChannels(const AppSettings& settings, UserPrompt& prompt, WatchMetrics& metrics,
                       AlertChannelOptions options = {});

  bool WriteEventLog(EventType type, std::string_view text) override;
  NetSendResult SendNetMessage(std::string_view recipient, std::string_view text) override;
  int SendMail(std::string_view server, std::string_view sender, std::string_view recipients,
               std::string_view subject, std::string_view body) override;

 private:
  WatchMetrics& metrics_;
};

}  // namespace tarnwick
