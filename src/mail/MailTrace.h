#pragma once

#include <functional>
#include <string_view>

namespace tarnwick {

// The process-wide trace hook of the mail client's socket layer. It receives
// the "unexpected error" texts that help a developer; they never reach the
// user. By default they go to standard error when TARNWICK_MAIL_TRACE is
// set, and are dropped otherwise; a test installs a sink of its own.
class MailTrace {
 public:
  using Sink = std::function<void(std::string_view)>;

  // An empty sink restores the default.
  static void SetSink(Sink sink);
  static void Write(std::string_view text);
};

}  // namespace tarnwick
