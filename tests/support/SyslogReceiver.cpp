#include "support/SyslogReceiver.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>
#include <stdexcept>

namespace tarnwick::test {

SyslogReceiver::SyslogReceiver() : path_(dir_.File("log")) {
  socket_.reset(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
  if (!socket_.valid() ||
      ::bind(socket_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("cannot bind the syslog test socket");
  }
}

std::optional<std::string> SyslogReceiver::ReceiveRaw(int timeoutMs) {
  pollfd waiting{socket_.get(), POLLIN, 0};
  if (::poll(&waiting, 1, timeoutMs) != 1) return std::nullopt;
  char buffer[65536];
  const ssize_t length = ::recv(socket_.get(), buffer, sizeof buffer, 0);
  if (length < 0) return std::nullopt;
  return std::string(buffer, static_cast<std::size_t>(length));
}

std::optional<SyslogReceiver::Entry> SyslogReceiver::Receive(int timeoutMs) {
  const auto raw = ReceiveRaw(timeoutMs);
  if (!raw) return std::nullopt;
  Entry entry;
  const std::size_t close = raw->find('>');
  if (raw->empty() || (*raw)[0] != '<' || close == std::string::npos) return entry;
  entry.priority = std::stoi(raw->substr(1, close - 1));
  // "<PRI>Mmm dd hh:mm:ss TAG[pid]: message"
  const std::size_t tagStart = raw->find(' ', close + 16);
  const std::size_t bracket = raw->find('[', tagStart);
  const std::size_t colon = raw->find("]: ", bracket);
  if (tagStart == std::string::npos || bracket == std::string::npos || colon == std::string::npos) {
    return entry;
  }
  entry.tag = raw->substr(tagStart + 1, bracket - tagStart - 1);
  entry.message = raw->substr(colon + 3);
  return entry;
}

}  // namespace tarnwick::test
