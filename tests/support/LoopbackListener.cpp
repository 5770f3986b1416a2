#include "support/LoopbackListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <stdexcept>

namespace tarnwick::test {
namespace {

// Binds `socket` to a free loopback port and returns the port.
int BindLoopback(const UniqueFd& socket) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  auto* raw = reinterpret_cast<sockaddr*>(&address);
  if (!socket.valid() || ::bind(socket.get(), raw, length) != 0 ||
      ::getsockname(socket.get(), raw, &length) != 0) {
    throw std::runtime_error("cannot bind a loopback port");
  }
  return ntohs(address.sin_port);
}

}  // namespace

LoopbackListener::LoopbackListener()
    : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), port_(BindLoopback(socket_)) {
  if (::listen(socket_.get(), 8) != 0) throw std::runtime_error("cannot listen on loopback");
}

UniqueFd LoopbackListener::Accept(int timeoutMs) {
  pollfd watched{socket_.get(), POLLIN, 0};
  if (::poll(&watched, 1, timeoutMs) != 1) return UniqueFd();
  return UniqueFd(::accept4(socket_.get(), nullptr, nullptr, SOCK_CLOEXEC));
}

ClosedPort::ClosedPort()
    : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), port_(BindLoopback(socket_)) {}

}  // namespace tarnwick::test
