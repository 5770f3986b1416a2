#include "platform/EventLog.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/CodePage.h"
#include "platform/StopEvent.h"
#include "platform/UniqueFd.h"

namespace tarnwick {
namespace {

constexpr int kFacilityUser = 1;

int SyslogSeverity(EventType type) {
  switch (type) {
    case EventType::Error:
      return 3;
    case EventType::Warning:
      return 4;
    case EventType::Information:
      return 6;
  }
  return 6;
}

std::string DefaultSocketPath() {
  const char* overridden = std::getenv("TARNWICK_SYSLOG_SOCKET");
  return overridden != nullptr && *overridden != '\0' ? overridden : "/dev/log";
}

// Syslog shows an entry as one line: the event viewer's leading "\r\n\r\n"
// would appear as "#015#012#015#012" before every message. Leading and
// trailing line breaks are dropped and every other run of CR and LF becomes
// one blank. Neither byte can be part of a CP932 double-byte character.
std::string OneLine(std::string_view text) {
  constexpr std::string_view kBreaks = "\r\n";
  std::string line;
  line.reserve(text.size());
  std::size_t at = text.find_first_not_of(kBreaks);
  while (at != std::string_view::npos) {
    const std::size_t end = std::min(text.find_first_of(kBreaks, at), text.size());
    if (!line.empty()) line += ' ';
    line += text.substr(at, end - at);
    at = text.find_first_not_of(kBreaks, end);
  }
  return line;
}

// An RFC 3164 datagram as the local syslog socket expects it:
// "<PRI>Mmm dd hh:mm:ss Tarnwick[pid]: message". Syslog readers on Linux
// expect UTF-8, so the CP932 text is converted here, at the boundary.
std::string BuildDatagram(EventType type, std::string_view insertion) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  const std::size_t stampLength = std::strftime(stamp, sizeof stamp, "%b %e %H:%M:%S", &local);

  std::string datagram = "<" + std::to_string(kFacilityUser * 8 + SyslogSeverity(type)) + ">";
  datagram.append(stamp, stampLength);
  datagram += " Tarnwick[" + std::to_string(getpid()) + "]: ";
  datagram += Utf8FromCp932(OneLine(insertion));
  return datagram;
}

}  // namespace

EventLog::EventLog() : socketPath_(DefaultSocketPath()) {}

EventLog::EventLog(std::string socketPath, std::chrono::milliseconds queueWait)
    : socketPath_(std::move(socketPath)), queueWait_(queueWait) {}

bool EventLog::Write(EventType type, std::string_view text) const {
  std::string insertion = "\r\n\r\n";
  insertion += CutCp932(text, kInsertionCapacity - 1 - insertion.size());

  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath_.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, socketPath_.c_str(), socketPath_.size() + 1);

  // Connected, so that poll tells when the daemon's queue has room again.
  UniqueFd socket(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!socket.valid() ||
      ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return false;
  }
  const std::string datagram = BuildDatagram(type, insertion);
  const StopEvent::Deadline deadline = StopEvent::SteadyClock::now() + queueWait_;
  for (;;) {
    const ssize_t sent = ::send(socket.get(), datagram.data(), datagram.size(), MSG_NOSIGNAL);
    if (sent >= 0) return sent == static_cast<ssize_t>(datagram.size());
    if (errno != EAGAIN && errno != EINTR) return false;
    if (StopEvent::Wait(socket.get(), POLLOUT, -1, deadline) != WaitResult::Ready) return false;
  }
}

}  // namespace tarnwick
