#pragma once

// clang-format off
#include <time.h>  // linux/errqueue.h needs timespec declared first
#include <linux/errqueue.h>
// clang-format on
#include <sys/socket.h>

#include <optional>

// What both ICMP probes, the one-shot echo and the kept socket, do to their
// sockets in the same way.
namespace tarnwick {

bool SetIntOption(int fd, int level, int name, int value);

// What a raw socket queued before its reply filter was in place is no reply
// of ours: read and dropped.
void DiscardQueuedPackets(int fd);

// The error-queue entry (IP_RECVERR) among a received message's control data.
std::optional<sock_extended_err> FindExtendedError(msghdr& message);

}  // namespace tarnwick
