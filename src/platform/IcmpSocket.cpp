#include "platform/IcmpSocket.h"

#include <linux/filter.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <span>

#include "platform/IcmpErrorStatus.h"
#include "platform/IcmpReplyParser.h"
#include "platform/IcmpSocketSupport.h"
#include "platform/InetAddress.h"
#include "platform/KernelRandom.h"

namespace tarnwick {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int kTimeToLive = 255;
constexpr std::size_t kHeaderSize = IcmpReplyParser::kIcmpHeaderSize;
constexpr std::size_t kTokenSize = 8;
constexpr std::size_t kRequestSize = kHeaderSize + kTokenSize;
constexpr std::size_t kMinIpHeaderSize = 20;
constexpr std::uint8_t kProtocolIcmp = 1;
// Hundreds of replies can arrive between two reads of a busy prober.
constexpr int kReceiveBufferBytes = 1 << 20;
// Our replies are short; an error quotes at most 576 bytes from Linux routers.
constexpr std::size_t kReceiveBufferSize = 2048;

std::uint16_t Read16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

std::uint64_t Read64(std::span<const std::uint8_t> bytes, std::size_t at) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < 8; ++i)
    value = (value << 8) | bytes[at + i];
  return value;
}

std::uint64_t RandomToken() {
  return KernelRandom64();
}

// Lets through only echo replies that carry `identifier`: a raw socket
// otherwise queues every echo reply of the host.
bool AttachReplyFilter(int fd, std::uint16_t identifier) {
  std::array<sock_filter, 7> program{{
      BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),  // X = IPv4 header length
      BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),   // ICMP type
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, IcmpReplyParser::kEchoReply, 0, 3),
      BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),  // identifier
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, identifier, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, 0xffff),
      BPF_STMT(BPF_RET | BPF_K, 0),
  }};
  const sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
  return ::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &filter, sizeof filter) == 0;
}

std::optional<std::uint16_t> BoundIdentifier(int fd) {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  // Port 0: the kernel picks a free identifier for the socket.
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) return std::nullopt;
  socklen_t length = sizeof local;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) return std::nullopt;
  return ntohs(local.sin_port);
}

std::array<std::uint8_t, kRequestSize> BuildRequest(std::uint16_t identifier, std::uint64_t token) {
  std::array<std::uint8_t, kRequestSize> message{};
  message[0] = IcmpReplyParser::kEchoRequest;
  message[4] = static_cast<std::uint8_t>(identifier >> 8);
  message[5] = static_cast<std::uint8_t>(identifier & 0xff);
  const std::uint16_t sequence = IcmpSocket::SequenceOf(token);
  message[6] = static_cast<std::uint8_t>(sequence >> 8);
  message[7] = static_cast<std::uint8_t>(sequence & 0xff);
  for (std::size_t i = 0; i < kTokenSize; ++i)
    message[kHeaderSize + i] = static_cast<std::uint8_t>(token >> (8 * (kTokenSize - 1 - i)));
  const std::uint16_t sum = IcmpReplyParser::Checksum(message);
  message[2] = static_cast<std::uint8_t>(sum >> 8);
  message[3] = static_cast<std::uint8_t>(sum & 0xff);
  return message;
}

struct ReceivedIcmp {
  std::span<const std::uint8_t> message;
  std::uint32_t sender = 0;
};

// The ICMP message of a whole IPv4 packet; fragments and damaged headers are
// nobody's reply.
std::optional<ReceivedIcmp> StripIpHeader(std::span<const std::uint8_t> packet) {
  if (packet.size() < kMinIpHeaderSize || (packet[0] >> 4) != 4) return std::nullopt;
  const std::size_t headerSize = static_cast<std::size_t>(packet[0] & 0x0f) * 4;
  const std::size_t totalLength = Read16(packet, 2);
  if (headerSize < kMinIpHeaderSize || headerSize > totalLength || totalLength > packet.size()) {
    return std::nullopt;
  }
  if ((Read16(packet, 6) & 0x3fff) != 0 || packet[9] != kProtocolIcmp) return std::nullopt;
  std::uint32_t source = 0;
  std::memcpy(&source, packet.data() + 12, sizeof source);
  return ReceivedIcmp{packet.subspan(headerSize, totalLength - headerSize), source};
}

bool Matches(const IcmpAnswer& answer, std::uint32_t destination, std::uint64_t token) {
  if (answer.peer != destination) return false;
  return answer.tokenQuoted ? answer.token == token
                            : answer.sequence == IcmpSocket::SequenceOf(token);
}

}  // namespace

IcmpSocket::IcmpSocket(IcmpSocketKind kind) : nextToken_(RandomToken()) {
  fd_ = IcmpEcho::OpenSocket(kind, &kind_);
  if (fd_.valid() && !Configure()) fd_.reset();
}

bool IcmpSocket::Configure() {
  const int fd = fd_.get();
  // Errors about our requests come through the error queue, and only when
  // asked for.
  if (!SetIntOption(fd, IPPROTO_IP, IP_TTL, kTimeToLive) ||
      !SetIntOption(fd, IPPROTO_IP, IP_RECVERR, 1)) {
    return false;
  }
  // Beyond the system's limit only with privilege; the default then stays.
  if (!SetIntOption(fd, SOL_SOCKET, SO_RCVBUFFORCE, kReceiveBufferBytes)) {
    SetIntOption(fd, SOL_SOCKET, SO_RCVBUF, kReceiveBufferBytes);
  }
  if (kind_ == IcmpSocketKind::Datagram) {
    // The kernel routes replies to this socket by the identifier it gives.
    const auto identifier = BoundIdentifier(fd);
    if (!identifier) return false;
    identifier_ = *identifier;
    return true;
  }
  identifier_ = static_cast<std::uint16_t>(KernelRandom64());
  icmp_filter types{};
  types.data = ~(1u << IcmpReplyParser::kEchoReply);
  if (::setsockopt(fd, SOL_RAW, ICMP_FILTER, &types, sizeof types) != 0) return false;
  if (!AttachReplyFilter(fd, identifier_)) return false;
  DiscardQueuedPackets(fd);
  return true;
}

IcmpStatus IcmpSocket::Send(std::uint32_t destination, std::uint64_t token) {
  const auto request = BuildRequest(identifier_, token);
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_addr.s_addr = destination;
  if (::sendto(fd_.get(), request.data(), request.size(), MSG_NOSIGNAL,
               reinterpret_cast<const sockaddr*>(&target), sizeof target) < 0) {
    return StatusOfSendError(errno);
  }
  return IcmpStatus::Success;
}

IcmpSocket::Read IcmpSocket::ReadReply(IcmpAnswer& answer) {
  std::array<std::uint8_t, kReceiveBufferSize> buffer;
  sockaddr_in from{};
  socklen_t fromLength = sizeof from;
  const ssize_t received =
      ::recvfrom(fd_.get(), buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC,
                 reinterpret_cast<sockaddr*>(&from), &fromLength);
  if (received < 0) return errno == EAGAIN || errno == EWOULDBLOCK ? Read::Empty : Read::Skipped;
  if (static_cast<std::size_t>(received) > buffer.size()) return Read::Skipped;
  const std::span packet(buffer.data(), static_cast<std::size_t>(received));
  std::optional<ReceivedIcmp> icmp;
  if (kind_ == IcmpSocketKind::Raw) {
    icmp = StripIpHeader(packet);
  } else {
    icmp = ReceivedIcmp{packet, from.sin_addr.s_addr};
  }
  if (!icmp) return Read::Skipped;
  const auto message = icmp->message;
  if (message.size() < kRequestSize || message[0] != IcmpReplyParser::kEchoReply ||
      IcmpReplyParser::Checksum(message) != 0 || Read16(message, 4) != identifier_) {
    return Read::Skipped;
  }
  answer = IcmpAnswer{Read64(message, kHeaderSize), true, Read16(message, 6), icmp->sender,
                      IcmpStatus::Success};
  // A reply whose sequence is not its token's was made up or damaged.
  return answer.sequence == SequenceOf(answer.token) ? Read::Answer : Read::Skipped;
}

IcmpSocket::Read IcmpSocket::ReadError(IcmpAnswer& answer) {
  const QueuedError error = TakeQueuedError(fd_.get());
  if (error.kind == QueuedError::Kind::None) return Read::Empty;
  if (error.kind != QueuedError::Kind::Icmp || !IcmpReplyParser::IsErrorType(error.type)) {
    return Read::Skipped;
  }
  const std::span request = error.request();
  // A raw socket hears errors about every ping of the host: only ours count.
  if (request.size() < kHeaderSize || request[0] != IcmpReplyParser::kEchoRequest ||
      Read16(request, 4) != identifier_) {
    return Read::Skipped;
  }
  answer.sequence = Read16(request, 6);
  answer.tokenQuoted = request.size() >= kRequestSize;
  answer.token = answer.tokenQuoted ? Read64(request, kHeaderSize) : 0;
  answer.peer = error.destination;
  answer.status = StatusOfIcmpError(error.type, error.code);
  if (answer.tokenQuoted && answer.sequence != SequenceOf(answer.token)) return Read::Skipped;
  return Read::Answer;
}

IcmpStatus IcmpSocket::SendChecked(std::uint32_t destination, std::uint64_t token) {
  const IcmpStatus sent = Send(destination, token);
  if (sent == IcmpStatus::Success) return sent;
  IcmpAnswer ignored;
  while (ReadError(ignored) != Read::Empty) {
  }
  return Send(destination, token);
}

IcmpStatus IcmpSocket::Echo(std::uint32_t destination, int timeoutMs, int stopFd) {
  if (destination == kAllOnesAddress || destination == 0) return IcmpStatus::BadDestination;
  if (!valid()) return IcmpStatus::GeneralFailure;
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  const std::uint64_t token = NextToken();
  // Nothing else is in flight: what the error queue holds now is stale.
  const IcmpStatus sent = SendChecked(destination, token);
  if (sent != IcmpStatus::Success) return sent;
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
    const int waitMs = static_cast<int>(std::max<long long>(left.count(), 0));
    // poll() skips a negative descriptor, so no stop event costs nothing.
    std::array<pollfd, 2> polled{{{fd_.get(), POLLIN, 0}, {stopFd, POLLIN, 0}}};
    const int ready = ::poll(polled.data(), polled.size(), waitMs);
    if (ready < 0 && errno != EINTR) return IcmpStatus::GeneralFailure;
    if (ready > 0 && (polled[1].revents & POLLIN) != 0) return IcmpStatus::Interrupted;
    // A stop event that broke cannot wake anyone: stop watching it.
    if (ready > 0 && polled[1].revents != 0) stopFd = -1;
    // Once the time is up, what has already arrived is still looked at.
    const bool last = waitMs == 0;
    IcmpAnswer answer;
    if (last || (polled[0].revents & POLLERR) != 0) {
      for (Read read; (read = ReadError(answer)) != Read::Empty;) {
        if (read == Read::Answer && Matches(answer, destination, token)) return answer.status;
      }
    }
    if (last || (polled[0].revents & POLLIN) != 0) {
      for (Read read; (read = ReadReply(answer)) != Read::Empty;) {
        if (read == Read::Answer && Matches(answer, destination, token)) return answer.status;
      }
    }
    if (last) return IcmpStatus::TimedOut;
  }
}

}  // namespace tarnwick
