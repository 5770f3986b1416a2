#include "support/EchoResponder.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <future>
#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/IcmpReplyParser.h"

namespace tarnwick::test {
namespace {

using SteadyClock = std::chrono::steady_clock;

struct PendingReply {
  SteadyClock::time_point due;
  sockaddr_in to{};
  in_addr asked{};                    // the request's destination, the reply's source
  std::vector<std::uint8_t> request;  // the ICMP message asked for
};

void SendReply(int socket, const PendingReply& reply, std::vector<std::uint8_t> message,
               std::uint16_t identifier, std::uint16_t sequence) {
  message[0] = IcmpReplyParser::kEchoReply;
  message[1] = 0;
  message[2] = message[3] = 0;
  message[4] = static_cast<std::uint8_t>(identifier >> 8);
  message[5] = static_cast<std::uint8_t>(identifier & 0xff);
  message[6] = static_cast<std::uint8_t>(sequence >> 8);
  message[7] = static_cast<std::uint8_t>(sequence & 0xff);
  const std::uint16_t sum = IcmpReplyParser::Checksum(message);
  message[2] = static_cast<std::uint8_t>(sum >> 8);
  message[3] = static_cast<std::uint8_t>(sum & 0xff);
  // From the address asked, as a host would answer, also for addresses that
  // only a local route covers.
  alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(in_pktinfo))> control{};
  iovec part{message.data(), message.size()};
  msghdr header{};
  sockaddr_in to = reply.to;
  header.msg_name = &to;
  header.msg_namelen = sizeof to;
  header.msg_iov = &part;
  header.msg_iovlen = 1;
  header.msg_control = control.data();
  header.msg_controllen = control.size();
  cmsghdr* info = CMSG_FIRSTHDR(&header);
  info->cmsg_level = IPPROTO_IP;
  info->cmsg_type = IP_PKTINFO;
  info->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
  in_pktinfo source{};
  source.ipi_spec_dst = reply.asked;
  std::memcpy(CMSG_DATA(info), &source, sizeof source);
  ::sendmsg(socket, &header, 0);
}

// The ICMP echo request inside a received IPv4 packet, if it is one.
std::vector<std::uint8_t> EchoRequestIn(const std::uint8_t* packet, std::size_t size) {
  if (size < 20) return {};
  const std::size_t headerSize = static_cast<std::size_t>(packet[0] & 0x0f) * 4;
  if (headerSize < 20 || size < headerSize + IcmpReplyParser::kIcmpHeaderSize) return {};
  if (packet[headerSize] != IcmpReplyParser::kEchoRequest) return {};
  return std::vector<std::uint8_t>(packet + headerSize, packet + size);
}

int MillisecondsUntil(SteadyClock::time_point due) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(due - SteadyClock::now());
  return std::max(0, static_cast<int>(left.count()));
}

std::optional<PendingReply> ReceiveRequest(int socket) {
  std::array<std::uint8_t, 2048> packet;
  PendingReply reply;
  socklen_t fromLength = sizeof reply.to;
  const ssize_t got = ::recvfrom(socket, packet.data(), packet.size(), MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&reply.to), &fromLength);
  if (got <= 0) return std::nullopt;
  reply.request = EchoRequestIn(packet.data(), static_cast<std::size_t>(got));
  if (reply.request.empty()) return std::nullopt;
  std::memcpy(&reply.asked, packet.data() + 16, sizeof reply.asked);
  return reply;
}

void Answer(int socket, const PendingReply& reply, const EchoResponder::Behaviour& behaviour) {
  const auto& asked = reply.request;
  const auto identifier = static_cast<std::uint16_t>((asked[4] << 8) | asked[5]);
  const auto sequence = static_cast<std::uint16_t>((asked[6] << 8) | asked[7]);
  if (behaviour.strayRepliesFirst) {
    SendReply(socket, reply, asked, identifier, static_cast<std::uint16_t>(sequence - 1));
    SendReply(socket, reply, asked, static_cast<std::uint16_t>(~identifier), sequence);
  }
  for (int i = 0; i < behaviour.copies; ++i) {
    SendReply(socket, reply, asked, identifier, sequence);
  }
}

}  // namespace

EchoResponder::EchoResponder(const NetNamespace& host, Behaviour behaviour)
    : host_(host), behaviour_(behaviour) {
  host_.IgnoreEchoRequests(true);
  std::array<int, 2> ends{};
  if (::pipe2(ends.data(), O_CLOEXEC) != 0) throw std::runtime_error("pipe2");
  stopRead_.reset(ends[0]);
  stopWrite_.reset(ends[1]);
  std::promise<void> ready;
  auto started = ready.get_future();
  thread_ = std::thread([this, &ready] {
    UniqueFd socket;
    try {
      host_.EnterFromThisThread();
      socket.reset(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP));
      if (!socket.valid()) throw std::runtime_error("raw socket");
      const int transparent = 1;
      if (::setsockopt(socket.get(), IPPROTO_IP, IP_TRANSPARENT, &transparent,
                       sizeof transparent) != 0) {
        throw std::runtime_error("IP_TRANSPARENT");
      }
    } catch (...) {
      ready.set_exception(std::current_exception());
      return;
    }
    ready.set_value();
    Serve(socket.get());
  });
  try {
    started.get();
  } catch (...) {
    thread_.join();
    throw;
  }
}

EchoResponder::~EchoResponder() {
  const char stop = 's';
  [[maybe_unused]] const ssize_t written = ::write(stopWrite_.get(), &stop, 1);
  thread_.join();
}

void EchoResponder::Serve(int socket) {
  std::vector<PendingReply> pending;  // delays are equal, so this stays in due order
  for (;;) {
    std::array<pollfd, 2> watched{{{socket, POLLIN, 0}, {stopRead_.get(), POLLIN, 0}}};
    const int waitMs = pending.empty() ? -1 : MillisecondsUntil(pending.front().due);
    if (::poll(watched.data(), watched.size(), waitMs) < 0 && errno != EINTR) return;
    if ((watched[1].revents & POLLIN) != 0) return;
    if ((watched[0].revents & POLLIN) != 0) {
      if (auto request = ReceiveRequest(socket)) {
        ++requestsSeen_;
        request->due = SteadyClock::now() + behaviour_.delay;
        pending.push_back(std::move(*request));
      }
    }
    while (!pending.empty() && pending.front().due <= SteadyClock::now()) {
      Answer(socket, pending.front(), behaviour_);
      pending.erase(pending.begin());
    }
  }
}

}  // namespace tarnwick::test
