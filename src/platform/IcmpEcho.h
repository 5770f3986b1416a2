#pragma once

#include <cstdint>

#include "platform/UniqueFd.h"

namespace tarnwick {

// Which kind of socket carries the echo. Datagram ICMP sockets need no
// privilege but only work for groups in net.ipv4.ping_group_range; raw ones
// need root or CAP_NET_RAW. Automatic tries them in that order.
enum class IcmpSocketKind { Automatic, Datagram, Raw };

// Results, with the values of the Windows IP_STATUS codes they stand for.
enum class IcmpStatus : int {
  Success = 0,
  DestinationNetUnreachable = 11002,
  DestinationHostUnreachable = 11003,
  DestinationProtocolUnreachable = 11004,
  DestinationPortUnreachable = 11005,
  PacketTooBig = 11009,
  TimedOut = 11010,
  BadRoute = 11012,
  TtlExpiredInTransit = 11013,
  TtlExpiredInReassembly = 11014,
  ParameterProblem = 11015,
  SourceQuench = 11016,
  BadDestination = 11018,
  GeneralFailure = 11050,
  // No Windows code: the stop event ended the wait before any answer.
  Interrupted = -1,
};

// One ICMP echo request (TTL 255, no data) and the wait for its answer.
// Keeps nothing between calls: each call opens and closes its own socket, so
// calls may run on several threads at once.
class IcmpEcho {
 public:
  explicit IcmpEcho(IcmpSocketKind kind = IcmpSocketKind::Automatic) : kind_(kind) {}

  // `destination` in network byte order. Waits at most `timeoutMs`
  // milliseconds on the monotonic clock; packets that are not about this
  // request are skipped without extending the wait. When `stopFd` (a
  // StopEvent's) becomes readable first, the wait ends as Interrupted.
  // Never throws.
  IcmpStatus Echo(std::uint32_t destination, int timeoutMs, int stopFd = -1) const;

  // Whether this process can open either kind of ICMP socket at all: the
  // start-up check that stands for loading the system's ICMP library.
  static bool Available();

  // The socket Echo would use; `opened` tells which kind it became.
  static UniqueFd OpenSocket(IcmpSocketKind kind, IcmpSocketKind* opened = nullptr);

 private:
  IcmpSocketKind kind_;
};

}  // namespace tarnwick
