#pragma once

#include <cstdint>

#include "platform/IcmpEcho.h"
#include "platform/UniqueFd.h"

namespace tarnwick {

// What came back about one of our echo requests: its reply, or an ICMP
// error that quotes it.
struct IcmpAnswer {
  std::uint64_t token = 0;
  // An error whose sender quoted only the echo header carries no token: then
  // only destination and sequence name the request.
  bool tokenQuoted = true;
  std::uint16_t sequence = 0;
  // A reply's sender, or the destination of the request an error is about
  // (network byte order).
  std::uint32_t peer = 0;
  IcmpStatus status = IcmpStatus::Success;
};

// One ICMP socket, opened and configured once and kept for as many echo
// requests as its owner sends: TTL 255, errors through the error queue, and
// for a raw socket one filter, attached once, that lets through only echo
// replies carrying this socket's identifier. Every request carries a 64-bit
// token in its data, unique to the socket, whose low 16 bits are its
// sequence number: a late reply, a duplicate or another process's reply
// never matches a later request, also when sequence numbers wrap.
// One thread at a time; never throws.
class IcmpSocket {
 public:
  explicit IcmpSocket(IcmpSocketKind kind = IcmpSocketKind::Automatic);

  bool valid() const { return fd_.valid(); }
  IcmpSocketKind kind() const { return kind_; }
  int fd() const { return fd_.get(); }
  std::uint16_t identifier() const { return identifier_; }

  // A fresh token for one request.
  std::uint64_t NextToken() { return nextToken_++; }
  static std::uint16_t SequenceOf(std::uint64_t token) { return static_cast<std::uint16_t>(token); }

  // Sends one echo request to `destination` (network byte order). Success
  // when it left. The kernel may report an earlier request's ICMP error on
  // this send instead (and only there: the entry stays in the error queue),
  // so send once more before taking a failure for this request's own.
  IcmpStatus Send(std::uint32_t destination, std::uint64_t token);

  enum class Read { Empty, Skipped, Answer };
  // Reads one queued packet without waiting: Answer fills `answer` with a
  // reply to one of our requests; Skipped is anything else.
  Read ReadReply(IcmpAnswer& answer);
  // The same for one entry of the error queue.
  Read ReadError(IcmpAnswer& answer);

  // One request and the wait for its answer, as IcmpEcho::Echo, on this
  // socket: what arrives for earlier requests is skipped.
  IcmpStatus Echo(std::uint32_t destination, int timeoutMs, int stopFd = -1);

 private:
  bool Configure();
  // Send, and once more after emptying the error queue.
  IcmpStatus SendChecked(std::uint32_t destination, std::uint64_t token);

  UniqueFd fd_;
  IcmpSocketKind kind_ = IcmpSocketKind::Automatic;
  std::uint16_t identifier_ = 0;
  std::uint64_t nextToken_ = 0;
};

}  // namespace tarnwick
