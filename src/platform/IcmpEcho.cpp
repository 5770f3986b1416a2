#include "platform/IcmpEcho.h"

#include <linux/filter.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <random>

#include "platform/IcmpErrorStatus.h"
#include "platform/IcmpReplyParser.h"
#include "platform/IcmpSocketSupport.h"
#include "platform/InetAddress.h"
#include "platform/KernelRandom.h"
#include "platform/StopEvent.h"

namespace tarnwick {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int kTimeToLive = 255;
// Our requests carry no data, so their replies are 28 bytes; ICMP errors
// quote at most 576 bytes from Linux routers, a little more from others.
constexpr std::size_t kReceiveBufferSize = 4096;

std::uint32_t RandomSeed() {
  return static_cast<std::uint32_t>(KernelRandom64());
}

// Sequence numbers are drawn from one counter for the whole process, so that
// attempts that overlap in time (threads, or a late reply to the previous
// attempt) never share a request key.
std::uint16_t NextSequence() {
  static std::atomic<std::uint32_t> next{RandomSeed()};
  return static_cast<std::uint16_t>(next.fetch_add(1, std::memory_order_relaxed));
}

// A raw socket chooses its own identifier. A fresh one for every attempt
// keeps a late reply to an earlier attempt from matching a later one, even
// where sequence numbers would line up.
std::uint16_t RawIdentifier() {
  thread_local std::minstd_rand generator(RandomSeed());
  return static_cast<std::uint16_t>(generator() >> 8);
}

UniqueFd OpenOfKind(IcmpSocketKind kind) {
  const int type = kind == IcmpSocketKind::Raw ? SOCK_RAW : SOCK_DGRAM;
  return UniqueFd(::socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP));
}

bool ConfigureSocket(int fd, IcmpSocketKind kind) {
  // Errors about our requests come through the socket's error queue, and
  // only when asked for: a raw socket is connected and filtered below, so
  // errors from routers are no longer among its packets.
  if (!SetIntOption(fd, IPPROTO_IP, IP_TTL, kTimeToLive) ||
      !SetIntOption(fd, IPPROTO_IP, IP_RECVERR, 1)) {
    return false;
  }
  if (kind == IcmpSocketKind::Datagram) return true;
  // A raw socket sees every ICMP packet of the host: let only the types that
  // can answer an echo through.
  icmp_filter filter{};
  filter.data =
      ~((1u << IcmpReplyParser::kEchoReply) | (1u << IcmpReplyParser::kDestinationUnreachable) |
        (1u << IcmpReplyParser::kSourceQuench) | (1u << IcmpReplyParser::kTimeExceeded) |
        (1u << IcmpReplyParser::kParameterProblem));
  return ::setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter) == 0;
}

// Lets through only the echo reply that carries our identifier and sequence.
// A raw socket otherwise queues every echo reply of the host: under heavy
// ICMP traffic elsewhere, those fill its buffer while the thread waits its
// turn, and our reply is dropped. Errors about our request come through the
// error queue, which the filter does not touch.
bool AttachReplyFilter(int fd, const EchoRequestKey& key) {
  std::array<sock_filter, 9> program{{
      BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),  // X = IPv4 header length
      BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),   // ICMP type
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, IcmpReplyParser::kEchoReply, 0, 5),
      BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),  // identifier
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, key.identifier, 0, 3),
      BPF_STMT(BPF_LD | BPF_H | BPF_IND, 6),  // sequence
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, key.sequence, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, 0xffff),
      BPF_STMT(BPF_RET | BPF_K, 0),
  }};
  const sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
  return ::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &filter, sizeof filter) == 0;
}

std::optional<IcmpStatus> StatusOfVerdict(const IcmpVerdict& verdict) {
  switch (verdict.kind) {
    case IcmpVerdict::Kind::EchoReply:
      return IcmpStatus::Success;
    case IcmpVerdict::Kind::Error:
      return StatusOfIcmpError(verdict.type, verdict.code);
    case IcmpVerdict::Kind::Unrelated:
      break;
  }
  return std::nullopt;
}

// The identifier the kernel gave a datagram socket: its local "port".
std::optional<std::uint16_t> DatagramIdentifier(int fd) {
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) return std::nullopt;
  return ntohs(local.sin_port);
}

std::optional<IcmpStatus> ReadPacket(int fd, IcmpSocketKind kind, const IcmpReplyParser& parser) {
  std::array<std::uint8_t, kReceiveBufferSize> buffer;
  sockaddr_in from{};
  socklen_t fromLength = sizeof from;
  const ssize_t received = ::recvfrom(fd, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC,
                                      reinterpret_cast<sockaddr*>(&from), &fromLength);
  // A failure here is EAGAIN or an error the error queue reports as well.
  if (received < 0 || static_cast<std::size_t>(received) > buffer.size()) return std::nullopt;
  const auto format =
      kind == IcmpSocketKind::Raw ? IcmpPacketFormat::WithIpHeader : IcmpPacketFormat::IcmpOnly;
  return StatusOfVerdict(parser.Classify(
      std::span(buffer.data(), static_cast<std::size_t>(received)), format, from.sin_addr.s_addr));
}

std::optional<IcmpStatus> ReadQueuedError(int fd, const IcmpReplyParser& parser) {
  const QueuedError error = TakeQueuedError(fd);
  if (error.kind != QueuedError::Kind::Icmp) return std::nullopt;
  return StatusOfVerdict(
      parser.ClassifyQueuedError(error.request(), error.destination, error.type, error.code));
}

IcmpStatus AwaitAnswer(int fd, IcmpSocketKind kind, const IcmpReplyParser& parser,
                       SteadyClock::time_point deadline, int stopFd) {
  for (;;) {
    short revents = 0;
    const WaitResult waited = StopEvent::Wait(fd, POLLIN, stopFd, deadline, &revents);
    if (waited == WaitResult::Stopped) return IcmpStatus::Interrupted;
    if (waited == WaitResult::Failed) return IcmpStatus::GeneralFailure;
    // The last poll still looked at what had arrived by the deadline.
    if (waited == WaitResult::TimedOut) return IcmpStatus::TimedOut;
    // Hang-up or a closed descriptor: nothing will ever arrive.
    if ((revents & (POLLERR | POLLIN)) == 0) return IcmpStatus::GeneralFailure;
    if ((revents & POLLERR) != 0) {
      if (const auto status = ReadQueuedError(fd, parser)) return *status;
    }
    if ((revents & POLLIN) != 0) {
      if (const auto status = ReadPacket(fd, kind, parser)) return *status;
    }
  }
}

}  // namespace

IcmpStatus IcmpEcho::Echo(std::uint32_t destination, int timeoutMs, int stopFd) const {
  if (destination == kAllOnesAddress || destination == 0) return IcmpStatus::BadDestination;
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));

  IcmpSocketKind kind = IcmpSocketKind::Automatic;
  const UniqueFd socket = OpenSocket(kind_, &kind);
  if (!socket.valid() || !ConfigureSocket(socket.get(), kind)) return IcmpStatus::GeneralFailure;

  EchoRequestKey key{destination, RawIdentifier(), NextSequence()};
  // A datagram socket writes its own identifier over ours.
  const auto request = IcmpReplyParser::BuildEchoRequest(key.identifier, key.sequence);
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_addr.s_addr = destination;
  const auto* targetAddress = reinterpret_cast<const sockaddr*>(&target);
  // A connected raw socket gets packets from the destination only, and its
  // errors through the error queue like a datagram socket.
  if (kind == IcmpSocketKind::Raw) {
    if (::connect(socket.get(), targetAddress, sizeof target) != 0) return StatusOfSendError(errno);
    if (!AttachReplyFilter(socket.get(), key)) return IcmpStatus::GeneralFailure;
    DiscardQueuedPackets(socket.get());
  }
  if (::sendto(socket.get(), request.data(), request.size(), MSG_NOSIGNAL, targetAddress,
               sizeof target) < 0) {
    return StatusOfSendError(errno);
  }
  if (kind == IcmpSocketKind::Datagram) {
    const auto identifier = DatagramIdentifier(socket.get());
    if (!identifier) return IcmpStatus::GeneralFailure;
    key.identifier = *identifier;
  }
  return AwaitAnswer(socket.get(), kind, IcmpReplyParser(key), deadline, stopFd);
}

UniqueFd IcmpEcho::OpenSocket(IcmpSocketKind kind, IcmpSocketKind* opened) {
  // Try the unprivileged kind first: it needs no root and sees only its own
  // replies.
  for (const IcmpSocketKind candidate : {IcmpSocketKind::Datagram, IcmpSocketKind::Raw}) {
    if (kind != IcmpSocketKind::Automatic && kind != candidate) continue;
    UniqueFd socket = OpenOfKind(candidate);
    if (!socket.valid()) continue;
    if (opened != nullptr) *opened = candidate;
    return socket;
  }
  return UniqueFd();
}

bool IcmpEcho::Available() {
  return OpenSocket(IcmpSocketKind::Automatic).valid();
}

}  // namespace tarnwick
