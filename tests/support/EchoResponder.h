#pragma once

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/UniqueFd.h"
#include "support/NetNamespace.h"

namespace tarnwick::test {

// A host that answers pings the way a test wants: late, repeatedly, or after
// replies that belong to no request. It makes the namespace's own kernel
// ignore echo requests and answers them itself from a raw socket, on its own
// thread inside the namespace, until destroyed.
class EchoResponder {
 public:
  struct Behaviour {
    std::chrono::milliseconds delay{0};
    // Before the true reply: one with the previous sequence number and one
    // with another identifier, as late or stray replies would look.
    bool strayRepliesFirst = false;
    int copies = 1;  // of the true reply
  };

  EchoResponder(const NetNamespace& host, Behaviour behaviour);
  ~EchoResponder();
  EchoResponder(const EchoResponder&) = delete;
  EchoResponder& operator=(const EchoResponder&) = delete;

  int requestsSeen() const { return requestsSeen_; }

 private:
  void Serve(int socket);

  const NetNamespace& host_;
  Behaviour behaviour_;
  UniqueFd stopRead_;
  UniqueFd stopWrite_;
  std::atomic<int> requestsSeen_{0};
  std::thread thread_;
};

}  // namespace tarnwick::test
