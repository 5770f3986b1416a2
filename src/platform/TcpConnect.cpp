#include "platform/TcpConnect.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/UniqueFd.h"

namespace tarnwick {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Waits until the pending connection is writable or the deadline passes.
bool AwaitConnected(int fd, SteadyClock::time_point deadline) {
  for (;;) {
    const auto remaining = deadline - SteadyClock::now();
    if (remaining <= SteadyClock::duration::zero()) return false;
    const auto nanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(remaining).count();
    const timespec wait{static_cast<time_t>(nanoseconds / 1'000'000'000),
                        static_cast<long>(nanoseconds % 1'000'000'000)};
    pollfd watched{fd, POLLOUT, 0};
    const int ready = ::ppoll(&watched, 1, &wait, nullptr);
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return false;
    return error == 0;
  }
}

}  // namespace

bool TcpConnectOnce(std::uint32_t address, std::uint16_t port, std::chrono::milliseconds bound) {
  const auto deadline = SteadyClock::now() + bound;
  const UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
  if (!socket.valid()) return false;

  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  target.sin_addr.s_addr = address;
  if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
    if (errno != EINPROGRESS && errno != EINTR) return false;
    if (!AwaitConnected(socket.get(), deadline)) return false;
  }
  ::shutdown(socket.get(), SHUT_RDWR);
  return true;
}

}  // namespace tarnwick
