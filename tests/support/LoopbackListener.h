#pragma once

#include "platform/UniqueFd.h"

namespace tarnwick::test {

// A listening TCP socket on a free loopback port. Connections wait in its
// backlog until Accept takes them, so a peer that never answers is just a
// listener nobody accepts on.
class LoopbackListener {
 public:
  LoopbackListener();
  int port() const { return port_; }

  // The next connection within `timeoutMs`, or an invalid descriptor.
  UniqueFd Accept(int timeoutMs);

 private:
  UniqueFd socket_;
  int port_ = 0;
};

// A loopback port that refuses connections: bound but never listening, so
// nobody else takes it while the test runs.
class ClosedPort {
 public:
  ClosedPort();
  int port() const { return port_; }

 private:
  UniqueFd socket_;
  int port_ = 0;
};

}  // namespace tarnwick::test
