#include "platform/IcmpSocketSupport.h"

#include <netinet/in.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace tarnwick {

bool SetIntOption(int fd, int level, int name, int value) {
  return ::setsockopt(fd, level, name, &value, sizeof value) == 0;
}

void DiscardQueuedPackets(int fd) {
  std::array<std::uint8_t, 64> scratch;
  while (::recv(fd, scratch.data(), scratch.size(), MSG_DONTWAIT | MSG_TRUNC) >= 0) {
  }
}

namespace {

// The error-queue entry among a received message's control data.
std::optional<sock_extended_err> FindExtendedError(msghdr& message) {
  for (cmsghdr* control = CMSG_FIRSTHDR(&message); control != nullptr;
       control = CMSG_NXTHDR(&message, control)) {
    if (control->cmsg_level != IPPROTO_IP || control->cmsg_type != IP_RECVERR) continue;
    if (control->cmsg_len < CMSG_LEN(sizeof(sock_extended_err))) continue;
    sock_extended_err error{};
    std::memcpy(&error, CMSG_DATA(control), sizeof error);
    return error;
  }
  return std::nullopt;
}

}  // namespace

QueuedError TakeQueuedError(int fd) {
  QueuedError taken;
  alignas(cmsghdr) std::array<char, 512> control;
  sockaddr_in original{};
  iovec part{taken.quoted.data(), taken.quoted.size()};
  msghdr message{};
  message.msg_name = &original;
  message.msg_namelen = sizeof original;
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control.data();
  message.msg_controllen = control.size();
  const ssize_t received = ::recvmsg(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT);
  if (received < 0) {
    // A pending error without a queue entry would keep poll reporting it.
    int pending = 0;
    socklen_t length = sizeof pending;
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &length);
    return taken;
  }
  const auto error = FindExtendedError(message);
  taken.kind = error && error->ee_origin == SO_EE_ORIGIN_ICMP ? QueuedError::Kind::Icmp
                                                              : QueuedError::Kind::Other;
  if (!error) return taken;
  taken.quotedSize = std::min(static_cast<std::size_t>(received), taken.quoted.size());
  taken.destination = original.sin_addr.s_addr;
  taken.type = error->ee_type;
  taken.code = error->ee_code;
  return taken;
}

}  // namespace tarnwick
