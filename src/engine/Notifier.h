#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "engine/AppSettings.h"
#include "engine/ComputerEntry.h"

namespace tarnwick {

class Prober;

// Knobs of the probes that the settings do not hold.
struct NotifierOptions {
  // The port probe's wait: the settings page tells the user it is 45 seconds.
  std::chrono::milliseconds portProbeBound{45000};
};

// One attempt of a probe as the check cycle sees it. Interrupted is no
// answer at all: the stop event ended the wait.
enum class ProbeResult { Answered, NoAnswer, Interrupted };

// The probes of the watch: ICMP echo, TCP connect and the reverse lookup of
// a computer's name. Keeps no state between calls (the alerts go out by
// AlertChannels). Its probes are virtual so that a test can stand in for the
// network.
class Notifier {
 public:
  explicit Notifier(const AppSettings& settings, NotifierOptions options = {});
  virtual ~Notifier() = default;

  // The knobs it was made with; the watch's prober takes its port wait too.
  const NotifierOptions& options() const { return options_; }

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

  // Reads `settings` from now on (a watch's own copy); returns the settings
  // it read until now. `settings` must outlive their use.
  const AppSettings& UseSettings(const AppSettings& settings);
  // Sends the pings on `prober`'s kept socket from now on (a watch's); null:
  // a socket per echo. Returns the prober used until now.
  Prober* UseProber(Prober* prober);

 protected:
  const AppSettings& settings() const { return *settings_; }

 private:
  const AppSettings* settings_;
  Prober* prober_ = nullptr;
  NotifierOptions options_;
};

}  // namespace tarnwick
