#include "platform/TcpConnect.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/StopEvent.h"
#include "platform/UniqueFd.h"

namespace tarnwick {
namespace {

// Waits until the pending connection is writable, the deadline passes or the
// stop event fires.
TcpConnectResult AwaitConnected(int fd, StopEvent::Deadline deadline, int stopFd) {
  switch (StopEvent::Wait(fd, POLLOUT, stopFd, deadline)) {
    case WaitResult::Ready:
      break;
    case WaitResult::Stopped:
      return TcpConnectResult::Interrupted;
    case WaitResult::TimedOut:
    case WaitResult::Failed:
      return TcpConnectResult::Failed;
  }
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
    return TcpConnectResult::Failed;
  }
  return error == 0 ? TcpConnectResult::Connected : TcpConnectResult::Failed;
}

}  // namespace

bool TcpConnectOnce(std::uint32_t address, std::uint16_t port, std::chrono::milliseconds bound) {
  return TcpConnectOnce(address, port, bound, -1) == TcpConnectResult::Connected;
}

TcpConnectResult TcpConnectOnce(std::uint32_t address, std::uint16_t port,
                                std::chrono::milliseconds bound, int stopFd) {
  const auto deadline = StopEvent::SteadyClock::now() + bound;
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
