#pragma once

// clang-format off
#include <time.h>  // linux/errqueue.h needs timespec declared first
#include <linux/errqueue.h>
// clang-format on
#include <sys/socket.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// What both ICMP probes, the one-shot echo and the kept socket, do to their
// sockets in the same way.
namespace tarnwick {

bool SetIntOption(int fd, int level, int name, int value);

// What a raw socket queued before its reply filter was in place is no reply
// of ours: read and dropped.
void DiscardQueuedPackets(int fd);

// One entry taken from a socket's error queue (IP_RECVERR).
struct QueuedError {
  enum class Kind {
    None,   // the queue was empty
    Other,  // an entry that no ICMP message caused
    Icmp,
  };
  Kind kind = Kind::None;
  // The request the ICMP message quotes, where it went, and the ICMP type
  // and code of the error.
  std::array<std::uint8_t, 2048> quoted;
  std::size_t quotedSize = 0;
  std::uint32_t destination = 0;
  std::uint8_t type = 0;
  std::uint8_t code = 0;

  std::span<const std::uint8_t> request() const { return {quoted.data(), quotedSize}; }
};

// Takes the next entry of the socket's error queue, without waiting.
QueuedError TakeQueuedError(int fd);

}  // namespace tarnwick
