#pragma once

#include <chrono>
#include <functional>

#include "mail/Connection.h"
#include "mail/SmtpSubmission.h"
#include "platform/Clock.h"
#include "platform/EventLog.h"
#include "platform/UserPrompt.h"

namespace tarnwick {

// The stages of a delivery that a waiting user may be told of.
enum class MailPhase { Connecting, Sending, Closing };

// What a mail delivery needs from its host: where failures are reported,
// who sees the debug display, the two mail settings and the time.
struct MailEnvironment {
  const EventLog& eventLog;
  // Shows the composed message when `showMessage` is set (EnableMailDebug 1).
  UserPrompt& prompt;
  // The Date line's time and the boundary tag's seed.
  const Clock& clock;
  bool showMessage = false;
  // SendMailByEnglish: the plain English form instead of the Japanese MIME form.
  bool english = false;
  // Each wait for the server; tests shorten it.
  std::chrono::milliseconds waitLimit = connection::kDefaultWaitLimit;
  // Protection, port and credentials; plain SMTP by default.
  SmtpSubmission submission{};
  // A watch's stop, which leaves a mail already begun its grace.
  ConnectionStop stop{};
  // Told on the delivering thread as each stage begins; none by default.
  std::function<void(MailPhase)> phaseBegins{};
};

}  // namespace tarnwick
