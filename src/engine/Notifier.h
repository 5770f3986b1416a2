#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "engine/AppSettings.h"
#include "engine/ComputerEntry.h"
#include "engine/WatchState.h"
#include "platform/EventLog.h"
#include "platform/NetMessenger.h"
#include "platform/UserPrompt.h"

namespace tarnwick {

class Prober;

// Knobs of the outward operations that the settings do not hold.
struct NotifierOptions {
  // The port probe's wait: the settings page tells the user it is 45 seconds.
  std::chrono::milliseconds portProbeBound{45000};
  // Empty: TARNWICK_SYSLOG_SOCKET, else /dev/log.
  std::string syslogSocket;
  // What a stop leaves the mail and net send of alerts already decided.
  std::chrono::milliseconds stopGrace = kStopGrace;
};

// One attempt of a probe as the check cycle sees it. Interrupted is no
// answer at all: the stop event ended the wait.
enum class ProbeResult { Answered, NoAnswer, Interrupted };

// The program's outward operations: the probes, the event log, net send and
// mail. Keeps no state between calls. Its operations are virtual so that a
// test can stand in for the network.
class Notifier {
 public:
  Notifier(const AppSettings& settings, UserPrompt& prompt, NotifierOptions options = {});
  virtual ~Notifier() = default;

  // One ICMP echo; true when the reply came within PingTimeOut milliseconds.
  virtual bool PingProbe(std::string_view address);
  // One TCP connect, closed at once; true when the connection was opened.
  virtual bool PortProbe(std::string_view address, int port);
  // The probes as the check cycle calls them: the overridable probe above,
  // and whether the stop event cut its wait short. Safe on several threads at
  // once when the probes are.
  ProbeResult PingAttempt(std::string_view address);
  ProbeResult PortAttempt(std::string_view address, int port);

  // The reverse lookup's host name, or "unknown hostname"; also that when a
  // stop of the watch ended the wait for it.
  virtual std::string RefreshComputerName(std::string_view address);
  // Told, on the prober's thread, of each answer that the watch's prober got
  // in a parallel pass: the probes above are then not called.
  virtual void ProbeAnswered(std::string_view /*address*/, CheckMethod /*method*/, int /*port*/,
                             std::chrono::nanoseconds /*roundTrip*/) {}

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

  // Reads `settings` from now on (a watch's own copy); returns the settings
  // it read until now. `settings` must outlive their use.
  const AppSettings& UseSettings(const AppSettings& settings);
  // Sends the pings on `prober`'s kept socket from now on (a watch's); null:
  // a socket per echo. Returns the prober used until now.
  Prober* UseProber(Prober* prober);

 protected:
  const AppSettings& settings() const { return *settings_; }
  UserPrompt& prompt() const { return prompt_; }
  const NotifierOptions& options() const { return options_; }

 private:
  const AppSettings* settings_;
  Prober* prober_ = nullptr;
  UserPrompt& prompt_;
  NotifierOptions options_;
  EventLog eventLog_;
};

}  // namespace tarnwick
