#pragma once

#include <chrono>
#include <cstdint>

namespace tarnwick {

// One TCP connection attempt to `address` (network byte order) and `port`,
// ended with an orderly close as soon as it is made. True when the
// connection was opened within `bound` (measured on the monotonic clock);
// nothing is sent or received. Safe on any thread, never throws.
bool TcpConnectOnce(std::uint32_t address, std::uint16_t port, std::chrono::milliseconds bound);

enum class TcpConnectResult { Connected, Failed, Interrupted };

// The same attempt, ended as Interrupted as soon as `stopFd` (a StopEvent's,
// or -1 for none) becomes readable.
TcpConnectResult TcpConnectOnce(std::uint32_t address, std::uint16_t port,
                                std::chrono::milliseconds bound, int stopFd);

}  // namespace tarnwick
