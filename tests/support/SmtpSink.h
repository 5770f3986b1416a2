#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/UniqueFd.h"
#include "support/TempDir.h"

namespace tarnwick::test {

// A real SMTP server for end-to-end tests: Debian's aiosmtpd (run by
// tests/support/smtp_sink.py with /usr/bin/python3) on a loopback port of its
// own, saving every message it accepts into a temporary folder.
class SmtpSink {
 public:
  // Throws std::runtime_error when the server does not come up. `options`
  // go to smtp_sink.py (TLS, authentication).
  explicit SmtpSink(const std::vector<std::string>& options = {});
  ~SmtpSink();
  SmtpSink(const SmtpSink&) = delete;
  SmtpSink& operator=(const SmtpSink&) = delete;

  int port() const { return port_; }
  // "127.0.0.1:port", as the SmtpServer setting writes it.
  std::string address() const;
  const std::string& folder() const { return dir_.path(); }

  // The saved messages ("NNNN.eml", sorted), once there are `count` of them
  // or after `timeoutMs`.
  std::vector<std::string> WaitForMessages(std::size_t count, int timeoutMs = 10000) const;

 private:
  void Stop();

  TempDir dir_;
  pid_t pid_ = -1;
  UniqueFd input_;
  int port_ = 0;
};

}  // namespace tarnwick::test
