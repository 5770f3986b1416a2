#pragma once

#include <netinet/in.h>

namespace tarnwick::test {

// 127.0.0.1 at `port`, as bind and connect take it.
sockaddr_in LoopbackEndpoint(int port);
// A loopback TCP port nobody listens on now; 0 when none could be found.
int UnusedLoopbackPort();

}  // namespace tarnwick::test
