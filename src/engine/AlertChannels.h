#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "engine/AppSettings.h"
#include "engine/WatchState.h"
#include "platform/EventLog.h"
#include "platform/NetMessenger.h"
#include "platform/UserPrompt.h"

namespace tarnwick {

// Knobs of the alert channels that the settings do not hold.
struct AlertChannelOptions {
  // Empty: TARNWICK_SYSLOG_SOCKET, else /dev/log.
  std::string syslogSocket;
  // What a stop leaves the mail and net send of alerts already decided.
  std::chrono::milliseconds stopGrace = kStopGrace;
};

// The channels that alerts and the watch's own reports go out by: the event
// log, net send and mail. Keeps no state between calls. Its channels are
// virtual so that a test can stand in for the system, and the console's
// metrics can count what was delivered.
class AlertChannels {
 public:
  AlertChannels(const AppSettings& settings, UserPrompt& prompt, AlertChannelOptions options = {});
  virtual ~AlertChannels() = default;

  virtual bool WriteEventLog(EventType type, std::string_view text);
  // Sent, or why the message did not go out.
  virtual NetSendResult SendNetMessage(std::string_view recipient, std::string_view text);
  // 1 when the mail was delivered, 0 when not (the reasons go to the event log).
  virtual int SendMail(std::string_view server, std::string_view sender,
                       std::string_view recipients, std::string_view subject,
                       std::string_view body);

  // Whether the grace that a stop of the watch leaves the alerts already
  // decided is over.
  bool StopGraceEnded() const;

  // Reads the mail settings from `settings` from now on (a watch's own
  // copy); returns the settings it read until now. `settings` must outlive
  // their use.
  const AppSettings& UseSettings(const AppSettings& settings);

 private:
  const AppSettings* settings_;
  UserPrompt& prompt_;
  AlertChannelOptions options_;
  EventLog eventLog_;
};

}  // namespace tarnwick
