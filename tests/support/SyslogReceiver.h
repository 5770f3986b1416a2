#pragma once

#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/UniqueFd.h"
#include "support/TempDir.h"

namespace tarnwick::test {

// A real syslog socket: a datagram socket bound in a temporary folder that
// the code under test is pointed at.
class SyslogReceiver {
 public:
  struct Entry {
    int priority = -1;    // facility * 8 + severity
    std::string tag;      // "Tarnwick"
    std::string message;  // what follows "tag[pid]: ", UTF-8
  };

  SyslogReceiver();
  const std::string& path() const { return path_; }

  // The next datagram, or nothing after `timeoutMs`.
  std::optional<std::string> ReceiveRaw(int timeoutMs = 2000);
  std::optional<Entry> Receive(int timeoutMs = 2000);

 private:
  TempDir dir_;
  std::string path_;
  UniqueFd socket_;
};

// Tests that need root (network namespaces, raw sockets) call this first: it
// skips outside CI and fails in CI, where they must run.
#define TARNWICK_REQUIRE_ROOT()                                              \
  do {                                                                       \
    if (::geteuid() != 0) {                                                  \
      if (::getenv("CI") != nullptr) FAIL() << "this test must run as root"; \
      GTEST_SKIP() << "needs root (runs in CI)";                             \
    }                                                                        \
  } while (false)

}  // namespace tarnwick::test
