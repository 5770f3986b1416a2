#pragma once

#include <functional>
#include <string_view>

namespace tarnwick {

// The process-wide trace hook of the mail client: the SMTP dialogue (each
// connection attempt, every command sent as "> ..." and every reply line
// received as "< ...", the message text left out) and the socket layer's
// "unexpected error" texts. They help a user debug an alert mail and never
// reach the message boxes or the event log. By default they go to standard
// error when TARNWICK_MAIL_TRACE is set, and are dropped otherwise; a test
// installs a sink of its own.
class MailTrace {
 public:
  using Sink = std::function<void(std::string_view)>;

  // An empty sink restores the default.
  static void SetSink(Sink sink);
  static void Write(std::string_view text);
};

}  // namespace tarnwick
