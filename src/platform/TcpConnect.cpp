#include "platform/TcpConnect.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>

#include "platform/UniqueFd.h"

namespace tarnwick {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Waits until the pending connection is writable, the deadline passes or the
// stop event fires.
TcpConnectResult AwaitConnected(int fd, SteadyClock::time_point deadline, int stopFd) {
  for (;;) {
    const auto remaining = deadline - SteadyClock::now();
    if (remaining <= SteadyClock::duration::zero()) return TcpConnectResult::Failed;
    const auto nanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(remaining).count();
    const timespec wait{static_cast<time_t>(nanoseconds / 1'000'000'000),
                        static_cast<long>(nanoseconds % 1'000'000'000)};
    // poll() skips a negative descriptor, so no stop event costs nothing.
    std::array<pollfd, 2> polled{{{fd, POLLOUT, 0}, {stopFd, POLLIN, 0}}};
    const int ready = ::ppoll(polled.data(), polled.size(), &wait, nullptr);
    if (ready < 0 && errno != EINTR) return TcpConnectResult::Failed;
    if (ready <= 0) continue;
    if ((polled[1].revents & POLLIN) != 0) return TcpConnectResult::Interrupted;
    // A stop event that broke cannot wake anyone: stop watching it.
    if (polled[1].revents != 0) stopFd = -1;
    if (polled[0].revents == 0) continue;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
      return TcpConnectResult::Failed;
    }
    return error == 0 ? TcpConnectResult::Connected : TcpConnectResult::Failed;
  }
}

}  // namespace

bool TcpConnectOnce(std::uint32_t address, std::uint16_t port, std::chrono::milliseconds bound) {
  return TcpConnectOnce(address, port, bound, -1) == TcpConnectResult::Connected;
}

TcpConnectResult TcpConnectOnce(std::uint32_t address, std::uint16_t port,
                                std::chrono::milliseconds bound, int stopFd) {
  const auto deadline = SteadyClock::now() + bound;
  const UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
  if (!socket.valid()) return TcpConnectResult::Failed;

  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  target.sin_addr.s_addr = address;
  if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
    if (errno != EINPROGRESS && errno != EINTR) return TcpConnectResult::Failed;
    const TcpConnectResult result = AwaitConnected(socket.get(), deadline, stopFd);
    if (result != TcpConnectResult::Connected) return result;
  }
  ::shutdown(socket.get(), SHUT_RDWR);
  return TcpConnectResult::Connected;
}

}  // namespace tarnwick
