#pragma once

#include <functional>
#include <string_view>

namespace tarnwick {

// The process-wide trace hook of the mail client's socket layer. It receives
// the "unexpected error" texts that help a developer; they never reach the
// user. By default they are dropped; a debug build or a test installs a sink.
class MailTrace {
 public:
  using Sink = std::function<void(std::string_view)>;

  // An empty sink restores the default (drop everything).
  static void SetSink(Sink sink);
  static void Write(std::string_view text);
};

}  // namespace tarnwick
