#include "support/HttpGet.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "platform/UniqueFd.h"
#include "support/LoopbackPort.h"

namespace tarnwick::test {
namespace {

int ConnectAndSend(int port, const std::string& target, bool stall = false) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  // The smallest receive window, so that the server's writes stall at once.
  const int smallest = 1;
  if (stall) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &smallest, sizeof smallest);
  const timeval timeout{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  const sockaddr_in address = LoopbackEndpoint(port);
  const std::string request = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
          static_cast<ssize_t>(request.size())) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

std::optional<std::string> HttpGet(int port, const std::string& target) {
  UniqueFd fd(ConnectAndSend(port, target));
  if (!fd.valid()) return std::nullopt;
  std::string response;
  char buffer[65536];
  for (ssize_t got; (got = ::recv(fd.get(), buffer, sizeof buffer, 0)) > 0;) {
    response.append(buffer, static_cast<std::size_t>(got));
  }
  const std::size_t bodyStart = response.find("\r\n\r\n");
  if (response.compare(0, 12, "HTTP/1.1 200") != 0 &&
      response.compare(0, 12, "HTTP/1.0 200") != 0) {
    return std::nullopt;
  }
  if (bodyStart == std::string::npos) return std::nullopt;
  return response.substr(bodyStart + 4);
}

int StalledHttpGet(int port, const std::string& target) {
  return ConnectAndSend(port, target, true);
}

}  // namespace tarnwick::test
