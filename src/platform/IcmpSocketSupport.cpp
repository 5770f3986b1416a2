#include "platform/IcmpSocketSupport.h"

#include <netinet/in.h>

#include <array>
#include <cstdint>
#include <cstring>

namespace tarnwick {

bool SetIntOption(int fd, int level, int name, int value) {
  return ::setsockopt(fd, level, name, &value, sizeof value) == 0;
}

void DiscardQueuedPackets(int fd) {
  std::array<std::uint8_t, 64> scratch;
  while (::recv(fd, scratch.data(), scratch.size(), MSG_DONTWAIT | MSG_TRUNC) >= 0) {
  }
}

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

}  // namespace tarnwick
